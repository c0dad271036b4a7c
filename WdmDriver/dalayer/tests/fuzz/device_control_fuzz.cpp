// Random and mutated device-control input against the data-acquisition device, interleaved with
// reads, event requests, status messages and files closing and reopening. Every request must
// complete exactly once, never answer more bytes than the caller's buffer holds, and leave the
// device balanced. Bounded by count and by time (MQ_FUZZ_SECONDS, default 3).
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "da_test_device.h"

namespace dalayer_test {
namespace {

using kernel::user_io::Operation;

constexpr std::uint32_t kCodes[] = {
    IOCTL_HXDA_READEVENTS,      IOCTL_HXDA_SETSINGLEVALUE, IOCTL_HXDA_GETSINGLEVALUE,
    IOCTL_HXDA_CONFIG,          IOCTL_HXDA_START,          IOCTL_HXDA_STOP,
    IOCTL_HXDA_PAUSE,           IOCTL_HXDA_CONTINUE,       IOCTL_HXDA_RESET,
    IOCTL_HXDA_ABORT,           IOCTL_HXDA_PRESTART,       IOCTL_HXDA_SIMULSTART,
    IOCTL_HXDA_WRITEREG,        IOCTL_HXDA_READREG,        IOCTL_HXDA_SETHWINFO,
    IOCTL_HXDA_GETHWINFO,       IOCTL_HXDA_WAITEVENT,      IOCTL_HXDA_FLUSHINPROCESS,
    IOCTL_HXDA_RESERVED,        IOCTL_HXDA_WRITECALPOT,    IOCTL_HXDA_READCALPOT,
    IOCTL_HXDA_GETSINGLEVALUES,
};
const char* const kNames[] = {"\\AD0", "\\DA0", "\\DIN0", "\\CT0", ""};

struct Sent {
    std::vector<std::uint8_t> input;
    std::vector<std::uint8_t> output;
    Outcome outcome;
};

class DeviceControlFuzz : public DaDeviceTest {
  protected:
    std::uint32_t Length(std::mt19937& random) {
        static const std::uint32_t kEdges[] = {0, 1, 16, 295, 296, 319, 320, 321, 335, 336, 337};
        switch (random() % 4) {
            case 0:
                return kEdges[random() % std::size(kEdges)];
            case 1:
                return 296 + 24 * (random() % 1100) + random() % 3;
            default:
                return random() % 400;
        }
    }
    // A valid-looking record or block with a few bytes changed, or bytes at random.
    void Fill(std::mt19937& random, std::vector<std::uint8_t>& bytes) {
        if (random() % 2) {
            for (auto& b : bytes)
                b = static_cast<std::uint8_t>(random());
            return;
        }
        if (bytes.size() >= 22) {
            const std::uint16_t count =
                static_cast<std::uint16_t>(random() % 3   ? random() % 8
                                           : random() % 2 ? 1024 + random() % 4
                                                          : random());
            std::memcpy(bytes.data() + 20, &count, 2);
        }
        for (int i = random() % 4; i > 0 && !bytes.empty(); --i)
            bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
    }
};

TEST_F(DeviceControlFuzz, EveryRequestCompletesOnceWithinItsBuffer) {
    const char* seconds = std::getenv("MQ_FUZZ_SECONDS");
    const auto budget = std::chrono::milliseconds(
        static_cast<long>(1000 * (seconds != nullptr ? std::atof(seconds) : 3.0)));
    const auto deadline = std::chrono::steady_clock::now() + budget;
    const char* seedText = std::getenv("MQ_FUZZ_SEED");
    const std::uint32_t seed = seedText != nullptr
                                   ? static_cast<std::uint32_t>(std::strtoul(seedText, nullptr, 0))
                                   : std::random_device{}();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));

    std::vector<kernel::user_io::FileId> files;
    for (const char* name : kNames)
        files.push_back(Open(name));
    std::vector<std::unique_ptr<Sent>> sent;
    std::size_t checked = 0;
    // A completed request is checked and its buffers freed.
    auto settle = [&](bool wait) {
        std::erase_if(sent, [&](const std::unique_ptr<Sent>& s) {
            if (wait) {
                EXPECT_TRUE(s->outcome.WaitCompleted(1000));
            }
            if (s->outcome.completions == 0)
                return false;
            EXPECT_EQ(s->outcome.completions, 1);
            EXPECT_LE(s->outcome.information, s->output.size());
            ++checked;
            return true;
        });
    };
    int requests = 0;
    for (; requests < 50000 && std::chrono::steady_clock::now() < deadline; ++requests) {
        if (requests % 512 == 0)
            settle(false);
        const std::size_t which = random() % files.size();
        const int action = random() % 100;
        if (action < 2) {
            // A file closes (cancelling its requests) and opens again.
            Close(files[which]);
            files[which] = Open(kNames[which]);
            continue;
        }
        if (action < 6) {
            device_->Pipe().DeliverMessage(static_cast<USHORT>(random() % 3 ? 0 : random()),
                                           static_cast<USHORT>(random()));
            continue;
        }
        auto s = std::make_unique<Sent>();
        s->input.resize(Length(random));
        s->output.resize(Length(random));
        Fill(random, s->input);
        kernel::user_io::Request request;
        if (action < 10) {
            request = {Operation::Read,  0,
                       nullptr,          0,
                       s->output.data(), static_cast<std::uint32_t>(s->output.size())};
        } else {
            const std::uint32_t code = random() % 8 ? kCodes[random() % std::size(kCodes)]
                                                    : static_cast<std::uint32_t>(random());
            request = {Operation::DeviceControl, code,
                       s->input.data(),          static_cast<std::uint32_t>(s->input.size()),
                       s->output.data(),         static_cast<std::uint32_t>(s->output.size())};
        }
        Submit(files[which], request, &s->outcome);
        if (s->outcome.submitted != STATUS_PENDING) {
            ASSERT_EQ(s->outcome.completions, 1) << std::hex << request.controlCode;
        }
        sent.push_back(std::move(s));
    }
    for (auto file : files)
        Close(file);
    settle(true);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(device_->Pipe().Outstanding(), 0);
    EXPECT_LE(device_->Pipe().MostOutstanding(), 3);
    std::printf("seed %u: %d steps, %zu requests completed\n", seed, requests, checked);
}

}  // namespace
}  // namespace dalayer_test
