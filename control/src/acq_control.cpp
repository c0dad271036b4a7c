// The control's object: interfaces, construction and destruction, the error convention, the
// design-time guard, events and property notifications.
#include "acq_control.h"

#include <cstring>

#include "about_box.h"
#include "board_list.h"
#include "com/runtime.h"
#include "dispatch_map.h"
#include "trace.h"
#include "win32/module.h"
#include "win32/strings.h"

namespace mqacq32 {
namespace {

using com::server::Hand;
using com::server::Raise;

constexpr UINT kErrorTextLength = 255;
constexpr UINT kDesignTimeTextId = 22000;
constexpr const char* kInvalidValueText = "Invalid Property Value";
constexpr const char* kDefaultCaption = "MQAcq32";
// The default extent of a new control, in HIMETRIC units.
constexpr LONG kDefaultExtentWidth = 2540;
constexpr LONG kDefaultExtentHeight = 2540;

std::string OwnString(UINT id) {
    static const char anchor = 0;
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        &anchor, &module);
    char text[kErrorTextLength + 1] = {};
    LoadStringA(module, id, text, sizeof(text));
    return text;
}

}  // namespace

AcqControl::AcqControl() : extent_{kDefaultExtentWidth, kDefaultExtentHeight} {
    window_ = std::make_unique<NotifyWindow>(this);
    board_list::AddInstance();
    ResetToDefaults();
}

AcqControl::~AcqControl() {
    subsystems_.clear();
    ReleaseDevice();
    window_.reset();
    board_list::RemoveInstance();
}

ULONG STDMETHODCALLTYPE AcqControl::Release() {
    const ULONG left = refs_.Drop();
    if (left == 0)
        delete this;
    return left;
}

HRESULT STDMETHODCALLTYPE AcqControl::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kDispatchIid)
        return Hand(static_cast<IDispatch*>(this), ppv);
    if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2)
        return Hand(static_cast<IProvideClassInfo2*>(this), ppv);
    if (riid == IID_IConnectionPointContainer)
        return Hand(static_cast<IConnectionPointContainer*>(this), ppv);
    if (riid == IID_IOleObject)
        return Hand(static_cast<IOleObject*>(this), ppv);
    if (riid == IID_IOleControl)
        return Hand(static_cast<IOleControl*>(this), ppv);
    if (riid == IID_IPersist || riid == IID_IPersistStreamInit)
        return Hand(static_cast<IPersistStreamInit*>(this), ppv);
    if (riid == IID_IPersistPropertyBag)
        return Hand(static_cast<IPersistPropertyBag*>(this), ppv);
    if (riid == IID_IPersistStorage)
        return Hand(static_cast<IPersistStorage*>(this), ppv);
    if (riid == IID_IPerPropertyBrowsing)
        return Hand(static_cast<IPerPropertyBrowsing*>(this), ppv);
    if (riid == IID_ISpecifyPropertyPages)
        return Hand(static_cast<ISpecifyPropertyPages*>(this), ppv);
    if (riid == IID_IViewObject)
        return Hand(static_cast<IViewObject*>(this), ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE AcqControl::GetTypeInfoCount(UINT* count) {
    if (count == nullptr)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AcqControl::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (info == nullptr)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    *info = com::server::NewInterfaceTypeInfo(ControlTable());
    return *info != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE AcqControl::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                                    DISPID* ids) {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    return ControlTable().GetIDsOfNames(names, count, ids);
}

HRESULT STDMETHODCALLTYPE AcqControl::Invoke(DISPID id, REFIID riid, LCID, WORD flags,
                                             DISPPARAMS* params, VARIANT* result,
                                             EXCEPINFO* exception, UINT* argumentError) {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    // A container may release the control from inside an event it handles during the call.
    com::server::Ref<IDispatch> self(this);
    return ControlTable().Invoke(this, id, flags, params, result, exception, argumentError,
                                 kErrorSource);
}

HRESULT STDMETHODCALLTYPE AcqControl::GetClassInfo(ITypeInfo** info) {
    if (info == nullptr)
        return E_POINTER;
    *info = com::server::NewClassTypeInfo(kClsid, kTypeName, ControlTable(), EventTable());
    return *info != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE AcqControl::GetGUID(DWORD kind, GUID* guid) {
    if (guid == nullptr)
        return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID)
        return E_INVALIDARG;
    *guid = kEventsIid;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AcqControl::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
    if (point == nullptr)
        return E_POINTER;
    *point = nullptr;
    if (riid == kEventsIid)
        return Hand(static_cast<IConnectionPoint*>(&events_), reinterpret_cast<void**>(point));
    if (riid == IID_IPropertyNotifySink)
        return Hand(static_cast<IConnectionPoint*>(&propertyNotify_),
                    reinterpret_cast<void**>(point));
    return CONNECT_E_NOCONNECTION;
}

HRESULT STDMETHODCALLTYPE AcqControl::SetClientSite(IOleClientSite* site) {
    site_ = com::server::Ref<IOleClientSite>(site);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AcqControl::GetClientSite(IOleClientSite** site) {
    if (site == nullptr)
        return E_POINTER;
    *site = site_.get();
    if (*site != nullptr)
        (*site)->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AcqControl::Close(DWORD) {
    events_.Clear();
    propertyNotify_.Clear();
    viewAdvise_.Clear();
    site_.reset();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AcqControl::SetExtent(DWORD aspect, SIZEL* size) {
    if (size == nullptr)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return E_INVALIDARG;
    if (size->cx != extent_.cx || size->cy != extent_.cy)
        MarkModified();
    extent_ = *size;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AcqControl::GetExtent(DWORD aspect, SIZEL* size) {
    if (size == nullptr)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return E_INVALIDARG;
    *size = extent_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AcqControl::GetMiscStatus(DWORD, DWORD* status) {
    if (status == nullptr)
        return E_POINTER;
    *status = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
              OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INVISIBLEATRUNTIME | OLEMISC_SETCLIENTSITEFIRST;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AcqControl::GetUserClassID(CLSID* clsid) {
    if (clsid == nullptr)
        return E_POINTER;
    *clsid = kClsid;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AcqControl::OnAmbientPropertyChange(DISPID) {
    return S_OK;  // the user mode is read afresh by every member that needs it
}

HRESULT STDMETHODCALLTYPE AcqControl::FreezeEvents(BOOL freeze) {
    if (freeze)
        ++freezeCount_;
    else if (freezeCount_ > 0)
        --freezeCount_;
    return S_OK;
}

void AcqControl::Report(HXSTATUS status) {
    lastError_ = static_cast<LONG>(status);
    if (status == HXNOERROR)
        return;
    char text[kErrorTextLength + 1] = {};
    hxDaGetErrorString(status, text, kErrorTextLength);
    Raise(kStatusErrorBase + static_cast<HRESULT>(status), text);
}

void AcqControl::RaiseInvalidValue() {
    Raise(CTL_E_INVALIDPROPERTYVALUE, kInvalidValueText);
}

bool AcqControl::UserMode() {
    if (!site_)
        return true;
    com::server::Ref<IDispatch> ambient;
    if (FAILED(site_->QueryInterface(IID_IDispatch, ambient.outVoid())) || !ambient)
        return true;
    com::Variant value;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (FAILED(ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                               &value, nullptr, nullptr)))
        return true;
    if (FAILED(VariantChangeType(&value, &value, 0, VT_BOOL)))
        return true;
    return value.boolVal != VARIANT_FALSE;
}

void AcqControl::DesignTimeGuard() {
    if (!UserMode())
        Raise(kDesignTimeError, OwnString(kDesignTimeTextId));
}

void AcqControl::Notify(DISPID id) {
    com::server::NotifyChanged(propertyNotify_, id);
}

void AcqControl::Fire(DISPID event, std::vector<VARIANT> arguments) {
    if (freezeCount_ > 0)
        return;  // the container has frozen events: they are dropped
    com::server::FireEvent(events_, event, std::move(arguments));
}

void AcqControl::PutCaption(std::string caption) {
    caption_ = std::move(caption);
    MarkModified();
    Notify(dispid::Caption);
    InvalidateDesignPicture();
}

void AcqControl::AboutBox() {
    if (!ShowAboutBox())
        Raise(E_NOTIMPL, "The About box needs the forms runtime, which this process has not made.");
}

LONG AcqControl::GetLastError() {
    DesignTimeGuard();
    return lastError_;
}

std::string AcqControl::GetLastErrDescription() {
    DesignTimeGuard();
    char text[kErrorTextLength + 1] = {};
    hxDaGetErrorString(static_cast<HXSTATUS>(lastError_), text, kErrorTextLength);
    return text;
}

void AcqControl::ResetSettings() {
    settings_.Reset();
    lastError_ = 0;
    tables_ = CapabilityTables{};
}

void AcqControl::ResetToDefaults() {
    caption_ = kDefaultCaption;
    board_.clear();
    hDev_ = 0;
    hDass_ = 0;
    currentIndex_ = -1;
    ssType_ = 0;
    ssElement_ = 0;
    subsystems_.clear();
    ResetSettings();
}

}  // namespace mqacq32
