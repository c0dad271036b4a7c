// The tests' own container: makes the control through the component runtime (registered by the
// module's own DllRegisterServer in the machine's registry), gives it a client site whose
// ambient user mode the test chooses, records the events and property notifications it gets
// with the thread they came on, and binds late by dispatch identifier.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "com/connection.h"
#include "com/ole.h"
#include "com/runtime.h"
#include "com/server/object.h"
#include "com/variant.h"
#include "mqacq32/mqacq32.h"
#include "win32/messages.h"
#include "win32/module.h"

namespace controltest {

using com::Variant;
using com::server::Ref;

// The client site: answers the ambient user mode (unless told to answer nothing).
class Site final : public IOleClientSite, public IDispatch {
  public:
    bool userMode = true;
    bool answersAmbient = true;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IOleClientSite) {
            *ppv = static_cast<IOleClientSite*>(this);
        } else if (riid == IID_IDispatch) {
            *ppv = static_cast<IDispatch*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE GetContainerWindow(HWND* window) override {
        *window = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        if (id != DISPID_AMBIENT_USERMODE || !answersAmbient)
            return DISP_E_MEMBERNOTFOUND;
        result->vt = VT_BOOL;
        result->boolVal = userMode ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

    ULONG refs = 1;
};

// One event as the sink saw it: its arguments read through their references.
struct SeenEvent {
    DISPID id;
    std::thread::id thread;
    std::vector<Variant> arguments;  // declaration order, dereferenced
};

class EventSink final : public IDispatch {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == mqacq32::kEventsIid) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT*, EXCEPINFO*, UINT*) override {
        EXPECT_EQ(flags, DISPATCH_METHOD);
        SeenEvent seen{id, std::this_thread::get_id(), {}};
        for (UINT i = params->cArgs; i-- > 0;) {
            EXPECT_NE(params->rgvarg[i].vt & VT_BYREF, 0) << "event " << id;
            Variant value;
            VariantCopyInd(&value, &params->rgvarg[i]);
            seen.arguments.push_back(value);
        }
        events.push_back(std::move(seen));
        if (onEvent)
            onEvent(events.back());
        return S_OK;
    }

    std::size_t count(DISPID id) const {
        std::size_t n = 0;
        for (const SeenEvent& e : events)
            n += e.id == id ? 1 : 0;
        return n;
    }

    ULONG refs = 1;
    std::vector<SeenEvent> events;
    std::function<void(const SeenEvent&)> onEvent;
};

class NotifySink final : public IPropertyNotifySink {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IPropertyNotifySink) {
            *ppv = static_cast<IPropertyNotifySink*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE OnChanged(DISPID id) override {
        changed.push_back(id);
        if (onChanged)
            onChanged(id);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }

    ULONG refs = 1;
    std::vector<DISPID> changed;
    std::function<void(DISPID)> onChanged;
};

// What a late-bound call gave: its status, its result, and the raised error's code and text.
struct Outcome {
    HRESULT status = S_OK;
    Variant value;
    SCODE error = 0;
    std::string description;
    std::string source;

    bool ok() const { return status == S_OK; }
    bool raised(SCODE code) const { return status == DISP_E_EXCEPTION && error == code; }
};

inline ::testing::AssertionResult Raised(const Outcome& outcome, SCODE code) {
    if (outcome.raised(code))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "status 0x" << std::hex << outcome.status << ", error " << std::dec << outcome.error
           << " (" << outcome.description << "), expected error " << code;
}

// One control instance on the container's (the test's) thread.
class Control {
  public:
    explicit Control(Site* site) {
        EXPECT_EQ(CoCreateInstance(mqacq32::kClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   dispatch.outVoid()),
                  S_OK);
        if (!dispatch)
            return;
        Ref<IOleObject> object;
        EXPECT_EQ(dispatch->QueryInterface(IID_IOleObject, object.outVoid()), S_OK);
        object->SetClientSite(site);
        Ref<IConnectionPointContainer> container;
        EXPECT_EQ(dispatch->QueryInterface(IID_IConnectionPointContainer, container.outVoid()),
                  S_OK);
        EXPECT_EQ(container->FindConnectionPoint(mqacq32::kEventsIid, eventsPoint.out()), S_OK);
        EXPECT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, notifyPoint.out()), S_OK);
        EXPECT_EQ(eventsPoint->Advise(&events, &eventsCookie), S_OK);
        EXPECT_EQ(notifyPoint->Advise(&notify, &notifyCookie), S_OK);
    }
    ~Control() { close(); }
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // Gives the control up as a container does when its form closes.
    void close() {
        if (!dispatch)
            return;
        eventsPoint->Unadvise(eventsCookie);
        notifyPoint->Unadvise(notifyCookie);
        Ref<IOleObject> object;
        if (SUCCEEDED(dispatch->QueryInterface(IID_IOleObject, object.outVoid())))
            object->Close(OLECLOSE_NOSAVE);
        object.reset();
        eventsPoint.reset();
        notifyPoint.reset();
        dispatch.reset();
    }

    // Arguments in declaration order.
    Outcome call(DISPID id, std::vector<Variant> arguments = {}) {
        return invoke(id, DISPATCH_METHOD, std::move(arguments), false);
    }
    Outcome get(DISPID id, std::vector<Variant> index = {}) {
        return invoke(id, DISPATCH_PROPERTYGET | DISPATCH_METHOD, std::move(index), false);
    }
    Outcome put(DISPID id, Variant value, std::vector<Variant> index = {}) {
        index.push_back(value);
        return invoke(id, DISPATCH_PROPERTYPUT, std::move(index), true);
    }

    // The value of a get that must succeed, converted.
    LONG getLong(DISPID id, std::vector<Variant> index = {}) {
        return converted(get(id, std::move(index)), VT_I4).lVal;
    }
    double getDouble(DISPID id, std::vector<Variant> index = {}) {
        return converted(get(id, std::move(index)), VT_R8).dblVal;
    }
    std::string getText(DISPID id, std::vector<Variant> index = {}) {
        Outcome outcome = get(id, std::move(index));
        EXPECT_TRUE(outcome.ok()) << "get " << id << ": " << outcome.description;
        return com::NarrowFromBstr(outcome.value.vt == VT_BSTR ? outcome.value.bstrVal : nullptr);
    }

    Ref<IDispatch> dispatch;
    EventSink events;
    NotifySink notify;

  private:
    static Variant converted(const Outcome& outcome, VARTYPE type) {
        EXPECT_TRUE(outcome.ok()) << outcome.description;
        Variant value;
        VariantChangeType(&value, &outcome.value, 0, type);
        return value;
    }
    Outcome invoke(DISPID id, WORD flags, std::vector<Variant> arguments, bool put) {
        Outcome outcome;
        std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), put ? &named : nullptr,
                          static_cast<UINT>(reversed.size()), put ? 1u : 0u};
        EXCEPINFO exception{};
        UINT argumentError = 0;
        outcome.status = dispatch->Invoke(id, IID_NULL, 0, flags, &params, &outcome.value,
                                          &exception, &argumentError);
        outcome.error = exception.scode;
        outcome.description = com::NarrowFromBstr(exception.bstrDescription);
        outcome.source = com::NarrowFromBstr(exception.bstrSource);
        ClearExcepInfo(&exception);
        return outcome;
    }

    Ref<IConnectionPoint> eventsPoint;
    Ref<IConnectionPoint> notifyPoint;
    DWORD eventsCookie = 0;
    DWORD notifyCookie = 0;
};

// The container's message loop, run until `done` holds or `timeoutMs` pass (bounded).
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        MSG msg{};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Registers the control's module through its own entry point; the calling thread is counted in.
class RegisteredControlModule {
  public:
    RegisteredControlModule() {
        EXPECT_EQ(CoInitialize(nullptr), S_OK);
        module_ = LoadLibraryA(mqacq32::kModuleName);
        EXPECT_NE(module_, nullptr);
        if (module_ == nullptr)
            return;
        auto entry =
            reinterpret_cast<DllRegisterServerProc>(GetProcAddress(module_, "DllRegisterServer"));
        EXPECT_NE(entry, nullptr);
        if (entry != nullptr) {
            EXPECT_EQ(entry(), S_OK);
        }
    }
    ~RegisteredControlModule() {
        CoFreeUnusedLibraries();
        if (module_ != nullptr)
            FreeLibrary(module_);
        CoUninitialize();
    }
    HMODULE module() const { return module_; }

  private:
    HMODULE module_ = nullptr;
};

}  // namespace controltest
