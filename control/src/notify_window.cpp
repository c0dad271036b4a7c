#include "notify_window.h"

#include <cstring>

#include "acq_control.h"
#include "com/variant.h"
#include "hxdacodes.h"
#include "mqacq32/mqacq32.h"

namespace mqacq32 {
namespace {

constexpr const char* kClassName = "MQAcq32MsgWnd";
// Window styles of the platform: disabled, and no notification of a parent.
constexpr DWORD kStyleDisabled = 0x08000000u;
constexpr DWORD kExStyleNoParentNotify = 0x00000004u;
constexpr LRESULT kHandled = 1;

enum class Argument { kNone, kFloatBits, kLong };

struct Route {
    UINT message;
    DISPID event;
    Argument argument;
};

constexpr Route kRoutes[] = {
    {HXWM_TRIGGERERROR, event::TriggerError, Argument::kNone},
    {HXWM_UNDERRUNERROR, event::UnderrunError, Argument::kNone},
    {HXWM_OVERRUNERROR, event::OverrunError, Argument::kNone},
    {HXWM_BUFFERDONE, event::BufferDone, Argument::kNone},
    {HXWM_QUEUEDONE, event::QueueDone, Argument::kNone},
    {HXWM_BUFFERREUSED, event::BufferReused, Argument::kNone},
    {HXWM_QUEUESTOPPED, event::QueueStopped, Argument::kNone},
    {HXWM_EVENTERROR, event::SSEventError, Argument::kNone},
    {HXWM_MEASUREDONE, event::MeasureDone, Argument::kFloatBits},
    {HXWM_MQCONNECTDONE, event::MQConnectDone, Argument::kNone},
    {HXWM_MQCONNECTSTOPPED, event::MQConnectStopped, Argument::kNone},
    {HXWM_EVENTDONE, event::SSEventDone, Argument::kLong},
    {HXWM_PRETRIGBUFFERDONE, event::PreTrigBufferDone, Argument::kNone},
    {HXWM_DEVICEREMOVAL, event::DeviceRemoval, Argument::kNone},
    {HXWM_IOCOMPLETE, event::IoComplete, Argument::kNone},
};

const Route* RouteOf(UINT message) {
    for (const Route& route : kRoutes)
        if (route.message == message)
            return &route;
    return nullptr;
}

// The class's own procedure is the platform's default one, which outlives this module; each
// window is given this module's procedure when it is made. So a class registered by an earlier
// load of the module never points into unloaded code.
void RegisterWindowClass() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);  // ERROR_CLASS_ALREADY_EXISTS after the first time
}

void FireRoute(AcqControl& owner, const Route& route, LPARAM lParam) {
    // The argument is a copy of lParam's low 32 bits, passed by reference.
    const auto bits = static_cast<std::uint32_t>(static_cast<ULONG_PTR>(lParam));
    com::Variant argument;
    float frequency = 0.0f;
    LONG value = static_cast<LONG>(bits);
    switch (route.argument) {
        case Argument::kNone:
            owner.Fire(route.event);
            return;
        case Argument::kFloatBits:
            std::memcpy(&frequency, &bits, sizeof(frequency));
            argument.vt = VT_R4 | VT_BYREF;
            argument.pfltVal = &frequency;
            break;
        case Argument::kLong:
            argument.vt = VT_I4 | VT_BYREF;
            argument.plVal = &value;
            break;
    }
    owner.Fire(route.event, {argument});
}

}  // namespace

NotifyWindow::NotifyWindow(AcqControl* owner) : owner_(owner) {
    RegisterWindowClass();
    window_ = CreateWindowExA(kExStyleNoParentNotify, kClassName, "", kStyleDisabled, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                              nullptr, nullptr);
    if (window_ != nullptr) {
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure));
    }
}

NotifyWindow::~NotifyWindow() {
    if (window_ != nullptr)
        DestroyWindow(window_);
}

LRESULT CALLBACK NotifyWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<NotifyWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    const Route* route = RouteOf(message);
    if (self == nullptr || route == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);
    FireRoute(*self->owner_, *route, lParam);
    return kHandled;
}

}  // namespace mqacq32
