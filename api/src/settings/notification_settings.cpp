// Where a subsystem's notifications go: a window that receives them as posted messages, or a
// procedure called in their place. Either target changes the configuration (HXSTATE_NEEDSCONFIG)
// every time it is set.
#include "core/capabilities.h"
#include "core/message_codes.h"
#include "core/message_layouts.h"
#include "hxda/api_status.h"
#include "settings/setting_rules.h"
#include "settings/setting_topics.h"
#include "win32/messages.h"
#include "win32/pointer_checks.h"

namespace hxda {
namespace {

bool hasNotifications(const SubsystemRecord& subsystem) {
    return capability(subsystem.personality, HXSSC_NOTIFICATIONS) != 0;
}

ApiStatus setWindow(SubsystemRecord& subsystem, const MessageRecord& message) {
    if (!hasNotifications(subsystem))
        return HXNOTSUPPORTED;
    const auto window =
        reinterpret_cast<HWND>(static_cast<std::uintptr_t>(message.get(WindowWords::kWindow)));
    if (window != nullptr && !IsWindow(window))
        return HXINVALIDWINDOWHANDLE;
    if (isRunning(subsystem))
        return HXSUBSYSRUNNING;
    subsystem.window = window;
    subsystem.windowWParam = message.get(WindowWords::kHandle);
    subsystem.windowLParam =
        static_cast<LPARAM>(static_cast<std::int32_t>(message.get(WindowWords::kValue)));
    needsConfiguration(subsystem);
    return HXNOERROR;
}

ApiStatus setProcedure(SubsystemRecord& subsystem, const MessageRecord& message) {
    if (!hasNotifications(subsystem))
        return HXNOTSUPPORTED;
    if (message.pointer != nullptr && IsBadCodePtr(reinterpret_cast<FARPROC>(message.pointer)))
        return HXINVALIDNOTIFYPROC;
    if (isRunning(subsystem))
        return HXSUBSYSRUNNING;
    subsystem.notifyProcedure = reinterpret_cast<NotifyProc>(message.pointer);
    subsystem.procedureFirstValue = message.get(ProcedureWords::kHandle);
    subsystem.procedureSecondValue =
        static_cast<LPARAM>(static_cast<std::int32_t>(message.get(ProcedureWords::kValue)));
    needsConfiguration(subsystem);
    return HXNOERROR;
}

}  // namespace

ApiStatus notificationSetting(SubsystemRecord& subsystem, std::uint32_t code,
                              MessageRecord& message) {
    switch (code) {
        case HXDRV_SETWINDOWHANDLE:
            return setWindow(subsystem, message);
        case HXDRV_GETWINDOWHANDLE:
            if (!hasNotifications(subsystem))
                return HXNOTSUPPORTED;
            return answerWord(message, static_cast<std::uint32_t>(
                                           reinterpret_cast<std::uintptr_t>(subsystem.window)));
        case HXDRV_SETNOTIFYPROC:
            return setProcedure(subsystem, message);
        case HXDRV_GETNOTIFYPROC:
            if (!hasNotifications(subsystem))
                return HXNOTSUPPORTED;
            message.pointer = reinterpret_cast<void*>(subsystem.notifyProcedure);
            return HXNOERROR;
        default:
            return HXNOTSUPPORTED;
    }
}

}  // namespace hxda
