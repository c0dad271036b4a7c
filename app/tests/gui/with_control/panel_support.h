// Helpers of the single-value panels' tests: a panel of the program opened through its instance,
// what a list shows, whether a subsystem is free for another program, and the boxes shown.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app_fixture.h"
#include "hxdaapi32.h"

namespace larkspur::testing {

template <class Combo>
std::vector<std::string> Entries(const Combo& list) {
    std::vector<std::string> entries;
    for (int i = 0; i < list.ListCount(); ++i)
        entries.push_back(list.List(i));
    return entries;
}

// True when another program can open the subsystem now (it is released again at once).
inline bool SubsystemFree(const char* board, UINT type, UINT element) {
    HDEV device = 0;
    if (hxDaInitialize(board, &device) != HXNOERROR)
        return false;
    HDASS dass = 0;
    bool free = hxDaGetDASS(device, type, element, &dass) == HXNOERROR;
    if (free)
        hxDaReleaseDASS(dass);
    hxDaTerminate(device);
    return free;
}

// The code an output channel of the board holds now, read by another program (boards whose
// outputs read back what was last written).
inline bool ReadOutput(const char* board, UINT type, UINT element, UINT channel, UINT* code) {
    HDEV device = 0;
    if (hxDaInitialize(board, &device) != HXNOERROR)
        return false;
    HDASS dass = 0;
    bool read = hxDaGetDASS(device, type, element, &dass) == HXNOERROR &&
                hxDaSetDataFlow(dass, HXDF_SINGLEVALUE) == HXNOERROR &&
                hxDaConfig(dass) == HXNOERROR &&
                hxDaGetSingleValue(dass, code, channel, 1.0) == HXNOERROR;
    if (dass != 0)
        hxDaReleaseDASS(dass);
    hxDaTerminate(device);
    return read;
}

// Holds a subsystem of the board open, as another program would, until it goes.
class HeldSubsystem {
  public:
    HeldSubsystem(const char* board, UINT type, UINT element) {
        if (hxDaInitialize(board, &device_) == HXNOERROR)
            hxDaGetDASS(device_, type, element, &dass_);
    }
    ~HeldSubsystem() {
        if (dass_ != 0)
            hxDaReleaseDASS(dass_);
        if (device_ != 0)
            hxDaTerminate(device_);
    }
    HeldSubsystem(const HeldSubsystem&) = delete;
    HeldSubsystem& operator=(const HeldSubsystem&) = delete;
    bool Held() const { return dass_ != 0; }

  private:
    HDEV device_ = 0;
    HDASS dass_ = 0;
};

// The last value the board's model logged for an output channel, or -1 when it logged none.
inline std::int64_t LastLoggedOutput(const std::string& family, std::uint32_t serial, int channel) {
    std::int64_t last = -1;
    for (const sim::testing::OutputChange& change :
         sim::testing::ReadBoardOutputs(family, serial).changes)
        if (change.channel == channel)
            last = change.value;
    return last;
}

// The boxes shown, one "title: text" each.
inline std::vector<std::string> Boxes(const ui::Runtime& runtime) {
    std::vector<std::string> boxes;
    for (const ui::MessageBoxRecord& box : runtime.MessageBoxes())
        boxes.push_back(box.title + ": " + box.text);
    return boxes;
}

}  // namespace larkspur::testing
