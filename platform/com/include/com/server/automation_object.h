// A plain automation object of a server module: IUnknown and IDispatch over a member table, for
// objects that need no connection points or persistence (collections, items, application
// objects). The derived class gives `static const DispatchTable& Table()` and the source name
// of its errors, and is made with new; the first reference is the maker's.
#pragma once

#include <string_view>

#include "com/dispatch.h"
#include "com/server/dispatch_table.h"
#include "com/server/object.h"

namespace com::server {

template <typename Derived>
class AutomationObject : public IDispatch {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch)
            return Hand(static_cast<IDispatch*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.Add(); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = refs_.Drop();
        if (left == 0)
            delete static_cast<Derived*>(this);
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        return Derived::Table().GetIDsOfNames(names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override {
        if (riid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        return Derived::Table().Invoke(static_cast<Derived*>(this), id, flags, params, result,
                                       exception, argumentError, Derived::kSource);
    }

    // A new reference for a member's result (the result hands it over).
    IDispatch* NewReference() {
        AddRef();
        return this;
    }

  protected:
    AutomationObject() = default;
    virtual ~AutomationObject() = default;

  private:
    RefCount refs_;
};

}  // namespace com::server
