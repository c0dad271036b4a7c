// The tests' server module: one class, Counter, registered and made through the runtime.
#include <new>

#include "com/connection.h"
#include "com/runtime.h"
#include "com/server/class_factory.h"
#include "com/server/connection_point.h"
#include "com/server/dispatch_table.h"
#include "server/test_server_ids.h"
#include "win32/exports.h"

namespace {

using namespace com::server;

class Counter final : public IDispatch, public IConnectionPointContainer {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch)
            return Hand(static_cast<IDispatch*>(this), ppv);
        if (riid == IID_IConnectionPointContainer)
            return Hand(static_cast<IConnectionPointContainer*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.Add(); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = refs_.Drop();
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        return Table().GetIDsOfNames(names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override {
        if (riid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        return Table().Invoke(this, id, flags, params, result, exception, argumentError, "ComTest");
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override {
        if (point == nullptr)
            return E_POINTER;
        *point = nullptr;
        if (riid == comtest::kCounterEventsIid)
            return Hand(static_cast<IConnectionPoint*>(&events_), reinterpret_cast<void**>(point));
        if (riid == IID_IPropertyNotifySink)
            return Hand(static_cast<IConnectionPoint*>(&notify_), reinterpret_cast<void**>(point));
        return CONNECT_E_NOCONNECTION;
    }

    LONG GetCount() { return count_; }
    void SetCount(LONG value) {
        count_ = value;
        Variant argument;
        argument.vt = VT_I4 | VT_BYREF;
        argument.plVal = &count_;
        FireEvent(events_, comtest::kChangedEventId, {argument});
        NotifyChanged(notify_, comtest::kCountId);
    }
    LONG Add(LONG amount) { return count_ += amount; }

  private:
    using Variant = com::Variant;
    ~Counter() = default;
    static const DispatchTable& Table() {
        static const DispatchTable table(
            IID_IDispatch, "Counter",
            {
                ReadWrite<&Counter::GetCount, &Counter::SetCount>(comtest::kCountId, "Count"),
                Method<&Counter::Add>(comtest::kAddId, "Add", {"amount"}),
            });
        return table;
    }

    RefCount refs_;
    LONG count_ = 0;
    ConnectionPoint events_{this, comtest::kCounterEventsIid, true};
    ConnectionPoint notify_{this, IID_IPropertyNotifySink, false};
};

const com::ClassRegistration kCounterClass{.clsid = comtest::kCounterClsid,
                                           .typeName = "ComTest Counter",
                                           .progId = comtest::kCounterProgId,
                                           .threadingModel = "Apartment"};

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (clsid != comtest::kCounterClsid)
        return CLASS_E_CLASSNOTAVAILABLE;
    return MakeClassObject<Counter>(riid, ppv);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return ModuleCounts::CanUnloadNow();
}

HRESULT STDAPICALLTYPE DllRegisterServer() {
    static const char anchor = 0;
    return com::RegisterServerClass(kCounterClass, com::ModulePathOf(&anchor));
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return com::UnregisterServerClass(kCounterClass);
}

}  // namespace

MQ_EXPORTS_BEGIN
MQ_EXPORT_PLAIN(1, DllCanUnloadNow)
MQ_EXPORT_PLAIN(2, DllGetClassObject)
MQ_EXPORT_PLAIN(3, DllRegisterServer)
MQ_EXPORT_PLAIN(4, DllUnregisterServer)
MQ_EXPORTS_END
