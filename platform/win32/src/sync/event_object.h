// Events as objects of the services, usable with or without a handle (the I/O glue waits on
// events of its own through WaitForObjects).
#pragma once

#include <string>

#include "core/object.h"

namespace win32::detail {

class EventObject final : public Object {
  public:
    EventObject(bool manualReset, bool initialState, std::string name = {})
        : manualReset_(manualReset), signaled_(initialState), name_(std::move(name)) {}
    ~EventObject() override;

    void Set();
    void Reset();
    bool IsManualReset() const { return manualReset_; }

    bool IsWaitable() const override { return true; }
    bool IsSignaled() const override { return signaled_; }
    void Consume() override {
        if (!manualReset_)
            signaled_ = false;
    }

  private:
    const bool manualReset_;
    bool signaled_;  // guarded by the wait lock
    const std::string name_;
};

}  // namespace win32::detail
