// An analog output wired to an analog input while both stream: each conversion reads the level
// the output had at the conversion's own time, and the output log carries the D/A clock's times.
#include <gtest/gtest.h>

#include "board_fixture.h"

namespace mq5120::test {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kDaDivider = 18'000;  // 1 kHz
constexpr std::uint32_t kAdDivider = 4'500;   // 4 kHz: four conversions per output update
constexpr int kOutput = 1;
constexpr int kInput = 2;

class Loopback : public BoardFixture {
  public:
    BoardIdentity MakeIdentity() override {
        BoardIdentity identity;
        identity.boardType = 4;  // 16-bit converters
        return identity;
    }
    void Advance(std::chrono::nanoseconds step) {
        time->Advance(step);
        board->Wake();
    }
    void SendDa(const std::vector<std::uint16_t>& samples) {
        Bytes message(kDaHeaderBytes + 2 * samples.size(), 0);
        const auto bytes = static_cast<std::uint32_t>(2 * samples.size());
        for (int i = 0; i < 4; ++i)
            message[i] = static_cast<std::uint8_t>(bytes >> (8 * i));
        for (std::size_t i = 0; i < samples.size(); ++i) {
            message[kDaHeaderBytes + 2 * i] = static_cast<std::uint8_t>(samples[i]);
            message[kDaHeaderBytes + 2 * i + 1] = static_cast<std::uint8_t>(samples[i] >> 8);
        }
        UrbRequest request;
        Build(request, kDaEndpoint, message.data(), static_cast<ULONG>(message.size()),
              USBD_TRANSFER_DIRECTION_OUT);
        request.Send(pdo);
        ASSERT_TRUE(request.Wait(2000));
    }
    // The A/D on one input and the D/A on one output, started at the same instant.
    void StartBoth() {
        Write(kAdControl, static_cast<std::uint16_t>(0x8000 | kAdControlSingleEnded));
        Write(kAdDividerLow, kAdDivider);
        Write(kAdDividerHigh, 0);
        Write(kStrobes, kStrobeListReset);
        Write(kStrobes, 0);
        WriteList({{kChannelList, kInput}});
        Write(kStrobes, kStrobeListComplete);
        Transact(Command(kAdTransferSize, true, {2 * kSamplesRead, 0}));
        Write(kDaDividerLow, static_cast<std::uint16_t>(kDaDivider));
        Write(kDaDividerHigh, 0);
        Write(kRunEnables, kRunAd | kRunDa);
        Write(kStrobes, kStrobeListComplete | kStrobeAdRun);
        Transact(Command(kAdStart, true, {1}));
        Write(kStrobes, kStrobeListComplete | kStrobeAdRun | kStrobeDaSequence);
    }
    std::vector<std::uint16_t> ReadAd() {
        Bytes buffer(2 * kSamplesRead);
        UrbRequest request;
        Build(request, kAdEndpoint, buffer.data(), static_cast<ULONG>(buffer.size()),
              USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK);
        request.Send(pdo);
        EXPECT_TRUE(request.Wait(2000));
        std::vector<std::uint16_t> samples;
        for (std::size_t i = 0; i + 1 < buffer.size(); i += 2)
            samples.push_back(static_cast<std::uint16_t>(buffer[i] | (buffer[i + 1] << 8)));
        return samples;
    }
    static constexpr std::uint16_t kSamplesRead = 24;
};

TEST_F(Loopback, EachConversionReadsTheOutputsLevelAtItsTime) {
    board->SetSignal(kInput, Signal::FromAnalogOutput(kOutput));
    Write(kBoardControl, static_cast<std::uint16_t>(1u << kOutput));
    const std::vector<std::uint16_t> codes = {0x1000, 0x8000, 0xC000, 0x4321};
    SendDa(codes);
    const std::int64_t start = time->NowNs();
    board->ClearLog();
    StartBoth();
    Advance(6500us);

    // Update u comes at (u + 1) ms; conversion k at k / 4 ms reads the last update at or before
    // it, the level before the first (code 0) until then, the last one held after the memory ran
    // dry.
    const std::vector<std::uint16_t> samples = ReadAd();
    ASSERT_EQ(samples.size(), kSamplesRead);
    for (std::size_t k = 0; k < samples.size(); ++k) {
        const std::size_t updates = std::min<std::size_t>(k / 4, codes.size());
        const std::uint16_t expected = updates == 0 ? 0 : codes[updates - 1];
        EXPECT_EQ(samples[k], expected) << "conversion " << k;
    }
    const auto outputs = board->Outputs();
    ASSERT_EQ(outputs.size(), codes.size());
    for (std::size_t u = 0; u < codes.size(); ++u) {
        EXPECT_EQ(outputs[u].channel, kOutput);
        EXPECT_EQ(outputs[u].value, codes[u]);
        EXPECT_EQ(outputs[u].timeNs - start, static_cast<std::int64_t>(u + 1) * 1'000'000) << u;
    }
}

}  // namespace
}  // namespace mq5120::test
