// The control's hidden window: the API library posts its notifications (HXWM_TRIGGERERROR ..
// HXWM_IOCOMPLETE) to it from its own threads, and the window fires the matching events on the
// thread that made the control, between the container's other work.
#pragma once

#include "win32/messages.h"

namespace mqacq32 {

class AcqControl;

class NotifyWindow {
  public:
    // Creates the window on the calling thread: invisible, disabled, without parent or title.
    explicit NotifyWindow(AcqControl* owner);
    ~NotifyWindow();
    NotifyWindow(const NotifyWindow&) = delete;
    NotifyWindow& operator=(const NotifyWindow&) = delete;

    HWND handle() const { return window_; }

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    AcqControl* owner_;
    HWND window_ = nullptr;
};

}  // namespace mqacq32
