#include "io/pending_checks.h"

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/built_at_load.h"
#include "host/host.h"
#include "kernel/rules.h"

namespace kernel::io {

struct DispatchFrame {
    PIRP irp;
    CHAR location;
    UCHAR major;
    bool returned = false;
    NTSTATUS status = STATUS_SUCCESS;
    bool completed = false;
    bool marked = false;
};

namespace {

struct Frames {
    host::Lock lock;
    std::unordered_multimap<PIRP, DispatchFrame*> byIrp;
};

Frames& TheFrames() {
    static Frames frames;
    return frames;
}
[[maybe_unused]] const bool kBuiltAtLoad = ::kernel::host::BuildAtLoad(&TheFrames);

std::string Describe(const DispatchFrame& frame) {
    return "major " + std::to_string(frame.major) + ", status 0x" + [&] {
        char text[16];
        std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(frame.status));
        return std::string(text);
    }();
}

// Called once both halves are known, with the lock released.
void Decide(const DispatchFrame& frame) {
    if (frame.status == STATUS_PENDING && !frame.marked)
        ReportRuleViolation("dispatch routine returned STATUS_PENDING without IoMarkIrpPending",
                            Describe(frame));
    else if (frame.status != STATUS_PENDING && frame.marked)
        ReportRuleViolation("IRP marked pending but its dispatch routine returned another status",
                            Describe(frame));
}

void Erase(Frames& frames, DispatchFrame* frame) {
    auto [first, last] = frames.byIrp.equal_range(frame->irp);
    for (auto it = first; it != last; ++it) {
        if (it->second == frame) {
            frames.byIrp.erase(it);
            return;
        }
    }
}

}  // namespace

DispatchFrame* BeginDispatch(PIRP irp) {
    auto* frame = new DispatchFrame{irp, irp->CurrentLocation,
                                    IoGetCurrentIrpStackLocation(irp)->MajorFunction};
    Frames& frames = TheFrames();
    host::Guard guard(frames.lock);
    frames.byIrp.emplace(irp, frame);
    return frame;
}

void EndDispatch(DispatchFrame* frame, NTSTATUS returned) {
    Frames& frames = TheFrames();
    {
        host::Guard guard(frames.lock);
        frame->returned = true;
        frame->status = returned;
        if (!frame->completed)
            return;  // the completion decides
        Erase(frames, frame);
    }
    Decide(*frame);
    delete frame;
}

void LocationCompleted(PIRP irp, bool markedPending) {
    std::vector<DispatchFrame*> decided;
    Frames& frames = TheFrames();
    {
        host::Guard guard(frames.lock);
        auto [first, last] = frames.byIrp.equal_range(irp);
        for (auto it = first; it != last;) {
            DispatchFrame* frame = it->second;
            if (frame->location != irp->CurrentLocation || frame->completed) {
                ++it;
                continue;
            }
            frame->completed = true;
            frame->marked = markedPending;
            if (frame->returned) {
                decided.push_back(frame);
                it = frames.byIrp.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (DispatchFrame* frame : decided) {
        Decide(*frame);
        delete frame;
    }
}

void ForgetDispatches(PIRP irp) {
    std::vector<DispatchFrame*> dropped;
    Frames& frames = TheFrames();
    {
        host::Guard guard(frames.lock);
        auto [first, last] = frames.byIrp.equal_range(irp);
        for (auto it = first; it != last;) {
            // A frame whose routine has not returned yet belongs to a dispatch still running.
            if (it->second->returned) {
                dropped.push_back(it->second);
                it = frames.byIrp.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (DispatchFrame* frame : dropped)
        delete frame;
}

}  // namespace kernel::io
