// A control of the component-model stand-in hosted on a form.
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "com/connection.h"
#include "com/dispatch.h"
#include "com/ole.h"
#include "com/runtime.h"
#include "com/variant.h"
#include "com/view_object.h"
#include "com_host/dispatch_call.h"
#include "gdi/surface_dc.h"
#include "ui/com_hosting.h"
#include "ui/view_object.h"
#include "uilang/runtime_error.h"
#include "win32/module.h"

namespace ui {
namespace {

using com_host::FromVariant;
using com_host::WriteBack;

constexpr std::int32_t kErrCannotCreateObject = 429;
constexpr int kBorderWidth = 1;    // the border the control's window is created with
constexpr LONG kWholeObject = -1;  // the lindex of DVASPECT_CONTENT

std::u16string Wide(const std::string& narrow) {
    return std::u16string(narrow.begin(), narrow.end());
}
// Reference counting of the container's own small objects (site, sink): they live as long as
// their control, which holds them; the counts only keep the protocol.
class Counted {
  protected:
    ULONG Up() { return ++refs_; }
    ULONG Down() { return --refs_; }

  private:
    std::atomic<ULONG> refs_{1};
};

// The client site: answers the container's ambient user mode and nothing else.
class Site final : public IOleClientSite, public IDispatch, Counted {
  public:
    explicit Site(UserMode mode) : mode_(mode) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IOleClientSite) {
            *ppv = static_cast<IOleClientSite*>(this);
        } else if (riid == IID_IDispatch) {
            *ppv = static_cast<IDispatch*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        Up();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Up(); }
    ULONG STDMETHODCALLTYPE Release() override { return Down(); }
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
        if (id != DISPID_AMBIENT_USERMODE || result == nullptr)
            return DISP_E_MEMBERNOTFOUND;
        result->vt = VT_BOOL;
        result->boolVal = mode_ == UserMode::Run ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

  private:
    UserMode mode_;
};

// The container's view sink: a changed picture is repainted with the form's next paint.
class ViewSink final : public IAdviseSink, Counted {
  public:
    explicit ViewSink(ViewObject& owner) : owner_(owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IAdviseSink) {
            *ppv = static_cast<IAdviseSink*>(this);
            Up();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Up(); }
    ULONG STDMETHODCALLTYPE Release() override { return Down(); }
    void STDMETHODCALLTYPE OnViewChange(DWORD aspect, LONG) override {
        if (aspect == DVASPECT_CONTENT && owner_.invalidate)
            owner_.invalidate();
    }

  private:
    ViewObject& owner_;
};

// The frame of the control's window, drawn over the edge of its rectangle.
void DrawBorder(Surface& surface) {
    const int width = surface.Width();
    const int height = surface.Height();
    surface.FillRect({0, 0, width, kBorderWidth}, kBlack);
    surface.FillRect({0, height - kBorderWidth, width, kBorderWidth}, kBlack);
    surface.FillRect({0, 0, kBorderWidth, height}, kBlack);
    surface.FillRect({width - kBorderWidth, 0, kBorderWidth, height}, kBlack);
}

// The event sink: calls the form's handler by event DISPID, synchronously.
class Sink final : public IDispatch, Counted {
  public:
    Sink(ViewObject& owner, IID events) : owner_(owner), events_(events) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == events_) {
            *ppv = static_cast<IDispatch*>(this);
            Up();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Up(); }
    ULONG STDMETHODCALLTYPE Release() override { return Down(); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        if (!owner_.fireEvent)
            return S_OK;
        uilang::Arguments arguments;
        UINT count = params != nullptr ? params->cArgs : 0;
        for (UINT i = count; i-- > 0;)
            arguments.push_back(FromVariant(params->rgvarg[i]));
        owner_.fireEvent(id, arguments);
        for (UINT i = 0; i < count && i < arguments.size(); ++i)
            WriteBack(arguments[i], params->rgvarg[count - 1 - i]);
        return S_OK;
    }

  private:
    ViewObject& owner_;
    IID events_;
};

class ComControl final : public ViewObject, public uilang::Automation {
  public:
    ComControl(const std::string& progId, UserMode mode)
        : progId_(progId), mode_(mode), site_(mode) {
        initialised_ = SUCCEEDED(CoInitialize(nullptr));
        std::u16string wide = Wide(progId);
        CLSID clsid{};
        if (FAILED(CLSIDFromProgID(wide.c_str(), &clsid)) ||
            FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                    reinterpret_cast<void**>(&dispatch_)))) {
            Uninitialise();
            throw uilang::RuntimeError(kErrCannotCreateObject, progId,
                                       "ActiveX component can't create object");
        }
        IOleObject* object = nullptr;
        if (SUCCEEDED(
                dispatch_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object)))) {
            object->SetClientSite(&site_);
            object->GetMiscStatus(DVASPECT_CONTENT, &miscStatus_);
            object->Release();
        }
        Advise();
        AdviseView();
    }

    ~ComControl() override {
        if (view_ != nullptr) {
            view_->SetAdvise(DVASPECT_CONTENT, 0, nullptr);
            view_->Release();
        }
        if (point_ != nullptr) {
            point_->Unadvise(cookie_);
            point_->Release();
        }
        IOleObject* object = nullptr;
        if (SUCCEEDED(
                dispatch_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object)))) {
            object->Close(OLECLOSE_NOSAVE);
            object->SetClientSite(nullptr);
            object->Release();
        }
        dispatch_->Release();
        Uninitialise();
    }

    // The control's picture through its view object, inside the border of its window; nothing
    // for a control that is invisible at run time in a run-mode container.
    void Draw(Surface& surface) override {
        const bool invisible =
            mode_ == UserMode::Run && (miscStatus_ & OLEMISC_INVISIBLEATRUNTIME) != 0;
        if (view_ == nullptr || invisible)
            return;
        if (HDC dc = gdi::CreateSurfaceDC(surface)) {
            const RECTL client{kBorderWidth, kBorderWidth, surface.Width() - kBorderWidth,
                               surface.Height() - kBorderWidth};
            if (client.right > client.left && client.bottom > client.top)
                view_->Draw(DVASPECT_CONTENT, kWholeObject, dc, &client);
            DeleteDC(dc);
        }
        DrawBorder(surface);
    }
    uilang::Automation* Dispatch() override { return this; }

    uilang::Value Get(std::int32_t dispid, const uilang::Arguments& index) override {
        return Invoke(dispid, DISPATCH_PROPERTYGET | DISPATCH_METHOD, index, nullptr);
    }
    void Put(std::int32_t dispid, const uilang::Value& value,
             const uilang::Arguments& index) override {
        Invoke(dispid, DISPATCH_PROPERTYPUT, index, &value);
    }
    uilang::Value Call(std::int32_t dispid, const uilang::Arguments& arguments) override {
        return Invoke(dispid, DISPATCH_METHOD, arguments, nullptr);
    }

  private:
    void Uninitialise() {
        if (initialised_)
            CoUninitialize();
        initialised_ = false;
    }

    // The event interface the class names as its default source, advised with the sink.
    void Advise() {
        IProvideClassInfo2* info = nullptr;
        IID events{};
        if (SUCCEEDED(dispatch_->QueryInterface(IID_IProvideClassInfo2,
                                                reinterpret_cast<void**>(&info)))) {
            info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events);
            info->Release();
        }
        IConnectionPointContainer* container = nullptr;
        if (FAILED(dispatch_->QueryInterface(IID_IConnectionPointContainer,
                                             reinterpret_cast<void**>(&container))))
            return;
        sink_ = std::make_unique<Sink>(*this, events);
        if (SUCCEEDED(container->FindConnectionPoint(events, &point_)))
            point_->Advise(sink_.get(), &cookie_);
        container->Release();
    }

    // The view sink, told when the control's picture changes.
    void AdviseView() {
        if (FAILED(dispatch_->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view_)))) {
            view_ = nullptr;
            return;
        }
        view_->SetAdvise(DVASPECT_CONTENT, 0, &viewSink_);
    }

    uilang::Value Invoke(std::int32_t dispid, WORD flags, const uilang::Arguments& arguments,
                         const uilang::Value* value) {
        return com_host::InvokeDispatch(dispatch_, progId_, dispid, flags, arguments, value);
    }

    std::string progId_;
    UserMode mode_;
    bool initialised_ = false;
    IDispatch* dispatch_ = nullptr;
    Site site_;
    ViewSink viewSink_{*this};
    IViewObject* view_ = nullptr;
    DWORD miscStatus_ = 0;
    std::unique_ptr<Sink> sink_;
    IConnectionPoint* point_ = nullptr;
    DWORD cookie_ = 0;
};

using RegisterServerProc = HRESULT(WINAPI*)();

}  // namespace

bool ComHostingAvailable() {
    return true;
}

void RegisterComControlClass(const std::string& progId) {
    RegisterControlClass(progId, ComControlFactory(progId, UserMode::Run));
}

ControlFactory ComControlFactory(const std::string& progId, UserMode mode) {
    return [progId, mode] { return std::make_shared<ComControl>(progId, mode); };
}

namespace {

bool CallServerEntry(const std::string& moduleName, const char* name) {
    HMODULE module = LoadLibraryA(moduleName.c_str());
    if (module == nullptr)
        return false;
    auto entry = reinterpret_cast<RegisterServerProc>(GetProcAddress(module, name));
    bool registered = entry != nullptr && SUCCEEDED(entry());
    // The component runtime loads the module again for its class objects; this reference goes.
    FreeLibrary(module);
    return registered;
}

}  // namespace

bool RegisterServerModule(const std::string& moduleName) {
    return CallServerEntry(moduleName, "DllRegisterServer");
}

bool UnregisterServerModule(const std::string& moduleName) {
    return CallServerEntry(moduleName, "DllUnregisterServer");
}

}  // namespace ui
