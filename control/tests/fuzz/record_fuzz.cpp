// Saved records, mutated, loaded into the control: each load is taken or refused and never reads
// past the record (the sanitizers watch); a record the control took saves as one it takes again,
// and saving is stable after one such round; after any refusal the intact record still loads.
// Bounded by count and by time (MQ_FUZZ_SECONDS, default 3).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>

#include "control_fixture.h"
#include "persistence_helpers.h"
#include "record_bytes.h"

namespace controltest {
namespace {

constexpr unsigned kSeed = 20261211;
constexpr int kMaxCases = 2000;
constexpr int kDefaultSeconds = 3;

std::chrono::seconds Budget() {
    const char* text = std::getenv("MQ_FUZZ_SECONDS");
    const int seconds = text != nullptr ? std::atoi(text) : kDefaultSeconds;
    return std::chrono::seconds(seconds > 0 ? seconds : kDefaultSeconds);
}

RecordFields WithBoard() {
    RecordFields f;
    f.board = kMq5120;
    f.listSize = 2;
    f.channelList = EntriesOf<std::uint16_t>({1, 0});
    f.gainList = EntriesOf<double>({2.0, 1.0});
    f.inhibitList = EntriesOf<std::uint32_t>({0, 1});
    f.dioList = EntriesOf<std::uint32_t>({1, 0});
    f.trigger = 7;
    f.dataFlow = 0;
    return f;
}

// A few changes to a valid record: bytes flipped, set to an edge value, cut, or repeated.
Bytes Mutated(std::mt19937& random, Bytes bytes) {
    static const std::uint8_t kEdges[] = {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF};
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < changes && !bytes.empty(); ++i) {
        const std::size_t at = random() % bytes.size();
        switch (random() % 5) {
            case 0:
                bytes[at] ^= static_cast<std::uint8_t>(1u << (random() % 8));
                break;
            case 1:
                bytes[at] = kEdges[random() % std::size(kEdges)];
                break;
            case 2:
                bytes.resize(at);
                break;
            case 3:
                bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                             bytes.begin() + static_cast<std::ptrdiff_t>(at),
                             bytes.begin() + static_cast<std::ptrdiff_t>(
                                                 std::min(bytes.size(), at + 1 + random() % 8)));
                break;
            default:
                bytes[at] = static_cast<std::uint8_t>(random());
                break;
        }
    }
    return bytes;
}

using RecordFuzz = ControlTest;

TEST_F(RecordFuzz, MutatedRecordsAreTakenOrRefusedAndWhatIsTakenSavesStably) {
    const Bytes bases[] = {Encode(RecordFields{}), Encode(WithBoard())};
    std::mt19937 random(kSeed);
    const auto deadline = std::chrono::steady_clock::now() + Budget();
    int taken = 0;
    int refused = 0;
    for (int i = 0; i < kMaxCases && std::chrono::steady_clock::now() < deadline; ++i) {
        const Bytes record = Mutated(random, bases[random() % std::size(bases)]);
        const HRESULT status = Load(*control, record);
        if (status != S_OK) {
            ASSERT_TRUE(status == STG_E_READFAULT || status == E_FAIL) << "case " << i;
            ++refused;
            continue;
        }
        ++taken;
        // A record the control saved loads again; after one such round (which may open the
        // subsystem a failed open left as kind 0, element 0) saving is stable.
        const Bytes first = Saved(*control);
        ASSERT_EQ(Load(*control, first), S_OK) << "case " << i;
        const Bytes second = Saved(*control);
        ASSERT_EQ(Load(*control, second), S_OK) << "case " << i;
        ASSERT_EQ(Saved(*control), second) << "case " << i;
    }
    for (const Bytes& base : bases)
        EXPECT_EQ(Load(*control, base), S_OK);
    std::printf("%d records taken, %d refused\n", taken, refused);
    EXPECT_GT(taken, 0);
    EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace controltest
