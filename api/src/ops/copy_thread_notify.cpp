// Notifications of the copy thread: a posted window message, or a call of the notification
// procedure in its place.
#include "ops/copy_thread.h"
#include "win32/messages.h"

namespace hxda {

void CopyThread::notify(std::uint32_t message, bool payload, LPARAM value) {
    if (message == HXWM_BUFFERDONE && pretriggerMark_)
        message = HXWM_PRETRIGBUFFERDONE;
    if (target_.procedure != nullptr) {
        target_.procedure(message, target_.procedureFirst,
                          payload ? value : target_.procedureSecond);
    } else if (target_.window != nullptr) {
        PostMessageA(target_.window, message, target_.windowWParam,
                     payload ? value : target_.windowLParam);
    }
}

}  // namespace hxda
