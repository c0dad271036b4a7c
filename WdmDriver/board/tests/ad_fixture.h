// What the A/D tests share: a configuration block as the library sends it, a fixture with one
// started board paced by the stand-ins' clock, run as the virtual clock (time passes only while the
// driver, the bus, the board and the test all wait, so a loaded machine changes nothing), and a
// pending event request.
#pragma once

#include <cstring>
#include <optional>
#include <vector>

#include "board/ad_subsystem.h"
#include "board_machine.h"
#include "hxda/configuration_block.h"
#include "hxda/request_codes.h"
#include "hxdacodes.h"
#include "simclock/thread.h"
#include "user_file.h"

namespace board_test {

inline constexpr const char* kAdPath = "\\\\.\\MQ51200\\AD0";
inline constexpr std::uint16_t kSingleEnded = 100;
inline constexpr std::uint16_t kDifferential = 101;
inline constexpr auto kBound = std::chrono::seconds(10);

struct Entry {
    std::uint16_t channel;
    double gain;
};

// A configuration block with room for its list, as the library sends it.
class Block {
  public:
    explicit Block(std::vector<Entry> list = {{0, 1}}, std::uint16_t flow = 800, double hz = 1000.0)
        : bytes_(hxda::configurationBlockBytes(static_cast<std::uint32_t>(list.size())), 0) {
        hxda::ConfigurationBlock& b = Get();
        b.subsystemType = HXSS_AD;
        b.channelListSize = static_cast<std::uint16_t>(list.size());
        b.numberOfChannels = 27;
        b.channelType = kSingleEnded;
        b.resolution = 12;
        b.dataFlow = flow;
        b.clockSource = 400;
        b.clockFrequency = hxda::encodeFixedPoint(hz);
        b.triggerSource = 300;
        b.retriggerMode = 1300;
        b.retriggerSource = 300;
        b.multiscanCount = 1;
        b.rangeMinimum = hxda::encodeFixedPoint(-10.0);
        for (std::size_t i = 0; i < list.size(); ++i) {
            hxda::ChannelListEntry* e = hxda::listEntry(&b, static_cast<std::uint32_t>(i));
            e->channel = list[i].channel;
            e->gain = hxda::encodeFixedPoint(list[i].gain);
        }
    }
    hxda::ConfigurationBlock& Get() {
        return *reinterpret_cast<hxda::ConfigurationBlock*>(bytes_.data());
    }
    void* Data() { return bytes_.data(); }
    std::uint32_t Size() const { return static_cast<std::uint32_t>(bytes_.size()); }

  private:
    std::vector<std::uint8_t> bytes_;
};

class AdFixture : public BoardMachine {
  protected:
    void SetUp() override {
        BoardMachine::SetUp();
        realTimeBoards = true;
        ASSERT_EQ(Plug({}, &p_), STATUS_SUCCESS);
    }
    // Sends the block; the status in the block.
    std::uint32_t Configure(UserFile& ad, Block& block) {
        const Answer a = ad.Control(IOCTL_HXDA_CONFIG, block.Data(), block.Size());
        EXPECT_EQ(a.status, STATUS_SUCCESS);
        return block.Get().status;
    }
    std::uint32_t Simple(UserFile& ad, std::uint32_t code) {
        auto record = Record(HXSS_AD);
        const Answer a = ad.Control(code, record);
        EXPECT_EQ(a.status, STATUS_SUCCESS);
        return record.status;
    }
    // The A/D object's state; none when no A/D is open.
    std::optional<board::AdState> AdState() {
        std::optional<board::AdState> state;
        DeviceOf(p_.pdo)->WithSubsystem(HXSS_AD, 0, [&](dalayer::DaSubsystem& object) {
            state = static_cast<board::AdSubsystem&>(object).State();
        });
        return state;
    }
    // The last file's close has reached the driver. A close waits for the file's last request
    // to finish completing, which may be on a thread of the driver after the caller has seen
    // the completion: a file opened again at once could still find the old one open.
    bool NothingOpen() {
        return Eventually([&] { return DeviceOf(p_.pdo)->OpenSubsystemCount() == 0; });
    }
    simclock::testing::VirtualClock clock_;  // made before the machine and gone after it
    Plugged p_;
};

// A device-control request of a record sent without waiting for it.
struct PendingRequest {
    PendingRequest(UserFile& file, std::uint32_t code) : record(Record(HXSS_AD)) {
        kernel::user_io::Request request;
        request.operation = kernel::user_io::Operation::DeviceControl;
        request.controlCode = code;
        request.input = &record;
        request.inputLength = sizeof record;
        request.output = &record;
        request.outputLength = sizeof record;
        done = file.Send(request);
    }
    bool Ready(std::chrono::milliseconds bound = std::chrono::milliseconds(0)) const {
        return ReadyWithin(done, bound);
    }
    hxda::DriverRequest record;
    std::shared_future<Answer> done;
};

// A pending event request and its record.
struct EventWait : PendingRequest {
    explicit EventWait(UserFile& file) : PendingRequest(file, IOCTL_HXDA_WAITEVENT) {}
    // The event code, or 0 when none came in time.
    std::uint32_t Code(std::chrono::milliseconds bound = kBound) {
        const Answer a = UserFile::Wait(done, bound);
        return a.status == STATUS_SUCCESS ? record.parameters.event.code : 0;
    }
};

}  // namespace board_test
