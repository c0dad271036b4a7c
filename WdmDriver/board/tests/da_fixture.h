// What the D/A tests share: a configuration block of the analog outputs, and a fixture with one
// started 16-bit board whose clock stands still until the test advances it, so that what the
// board puts out is exact whatever the host's pace. The driver's timers and the test's bounded
// waits run on the virtual clock, so that a loaded host slows them without running out a bound.
#pragma once

#include <chrono>
#include <cstring>
#include <future>
#include <optional>
#include <vector>

#include "ad_fixture.h"
#include "board/analog_out_subsystem.h"
#include "board/protocol.h"

namespace board_test {

inline constexpr const char* kDaPath = "\\\\.\\MQ51200\\DA0";
inline constexpr const char* kByteOutputPath = "\\\\.\\MQ51200\\DA1";

// A D/A configuration block: the list's channels, the flow, the clock and the wrap mode.
inline Block DaBlock(const std::vector<std::uint16_t>& channels, double hz,
                     std::uint16_t wrap = HXWRAP_NONE, std::uint16_t flow = HXDF_CONTINUOUS) {
    std::vector<Entry> list;
    for (std::uint16_t channel : channels)
        list.push_back({channel, 1});
    Block block(list, flow, hz);
    hxda::ConfigurationBlock& b = block.Get();
    b.subsystemType = HXSS_DA;
    b.wrapMode = wrap;
    b.resolution = 16;
    return block;
}

class DaFixture : public BoardMachine {
  protected:
    void SetUp() override {
        BoardMachine::SetUp();
        mq5120::BoardIdentity identity;
        identity.boardType = 4;
        ASSERT_EQ(Plug(identity, &p_), STATUS_SUCCESS);
        ASSERT_NE(p_.time, nullptr);
    }
    std::uint32_t Configure(UserFile& da, Block& block) {
        const Answer a = da.Control(IOCTL_HXDA_CONFIG, block.Data(), block.Size());
        EXPECT_EQ(a.status, STATUS_SUCCESS);
        return block.Get().status;
    }
    std::uint32_t Simple(UserFile& da, std::uint32_t code) {
        auto record = Record(HXSS_DA);
        const Answer a = da.Control(code, record);
        EXPECT_EQ(a.status, STATUS_SUCCESS);
        return record.status;
    }
    // Moves the board's clock on in steps of at most `step`, so that its memory is refilled in
    // between as it would be on a running board.
    void Advance(std::chrono::microseconds total,
                 std::chrono::microseconds step = std::chrono::milliseconds(5)) {
        for (auto done = std::chrono::microseconds(0); done < total; done += step) {
            p_.time->Advance(std::min(step, total - done));
            p_.board->Wake();
        }
    }
    std::optional<board::DaState> DaState() {
        std::optional<board::DaState> state;
        DeviceOf(p_.pdo)->WithSubsystem(HXSS_DA, 0, [&](dalayer::DaSubsystem& object) {
            state = static_cast<board::AnalogOutSubsystem&>(object).State();
        });
        return state;
    }
    bool NothingOpen() {
        return Eventually([&] { return DeviceOf(p_.pdo)->OpenSubsystemCount() == 0; });
    }
    // The analog outputs' changes the board logged, from `after` on (channel 4: the port).
    std::vector<mq5120::OutputChange> Outputs() const { return p_.board->Outputs(); }

    simclock::testing::VirtualClock clock_;  // made before the machine and gone after it
    Plugged p_;
};

// Write requests (the library's reads of a D/A file) of sample buffers, in order.
class Writes {
  public:
    Writes(UserFile& file, std::size_t count, std::size_t samples, std::uint16_t first = 0) {
        buffers_.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            buffers_[i].resize(samples);
            for (std::size_t k = 0; k < samples; ++k)
                buffers_[i][k] = static_cast<std::uint16_t>(first + i * samples + k);
            done_.push_back(file.Read(buffers_[i].data(),
                                      static_cast<std::uint32_t>(samples * sizeof(std::uint16_t))));
        }
    }
    // Every write back within the bound.
    bool AllBack(std::chrono::milliseconds bound = kBound) const {
        for (const auto& d : done_)
            if (!ReadyWithin(d, bound))
                return false;
        return true;
    }
    Answer Result(std::size_t i) const { return UserFile::Wait(done_[i], kBound); }
    std::vector<std::uint16_t> Samples() const {
        std::vector<std::uint16_t> all;
        for (const auto& b : buffers_)
            all.insert(all.end(), b.begin(), b.end());
        return all;
    }

  private:
    std::vector<std::vector<std::uint16_t>> buffers_;
    std::vector<std::shared_future<Answer>> done_;
};

}  // namespace board_test
