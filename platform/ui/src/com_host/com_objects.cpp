// Objects of servers made or found by ProgID, outside any form.
#include "com/running_objects.h"
#include "com/runtime.h"
#include "com_host/dispatch_call.h"
#include "ui/com_hosting.h"
#include "uilang/runtime_error.h"

namespace ui {
namespace {

constexpr std::int32_t kErrCannotCreateObject = 429;

[[noreturn]] void CannotCreate(const std::string& progId) {
    throw uilang::RuntimeError(kErrCannotCreateObject, progId,
                               "ActiveX component can't create object");
}

// Holds the thread's apartment for the length of one look-up.
class Apartment {
  public:
    Apartment() { CoInitialize(nullptr); }
    ~Apartment() { CoUninitialize(); }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
};

CLSID ClassOf(const std::string& progId) {
    std::u16string wide(progId.begin(), progId.end());
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(wide.c_str(), &clsid)))
        CannotCreate(progId);
    return clsid;
}

// The object's dispatch interface, taking over the caller's reference to `unknown`.
uilang::Object Adopt(IUnknown* unknown, const std::string& progId) {
    IDispatch* dispatch = nullptr;
    HRESULT status = unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    unknown->Release();
    if (FAILED(status))
        CannotCreate(progId);
    uilang::Object object = com_host::WrapDispatch(dispatch, progId);
    dispatch->Release();
    return object;
}

}  // namespace

uilang::Object CreateObject(const std::string& progId) {
    Apartment apartment;
    CLSID clsid = ClassOf(progId);
    IUnknown* unknown = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                reinterpret_cast<void**>(&unknown))))
        CannotCreate(progId);
    return Adopt(unknown, progId);
}

uilang::Object GetObject(const std::string& progId) {
    Apartment apartment;
    CLSID clsid = ClassOf(progId);
    IUnknown* unknown = nullptr;
    if (FAILED(GetActiveObject(clsid, nullptr, &unknown)))
        CannotCreate(progId);
    return Adopt(unknown, progId);
}

}  // namespace ui
