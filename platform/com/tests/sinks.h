// Sinks of the tests: an event sink that records the calls it gets, a property-notify sink.
#pragma once

#include <functional>
#include <vector>

#include "com/connection.h"
#include "com/dispatch.h"

namespace comtest {

// Counts its references and records every Invoke (DISPID and the first argument's long value).
class RecordingSink : public IDispatch {
  public:
    explicit RecordingSink(const IID& eventsIid, bool answersEventsIid = true)
        : eventsIid_(eventsIid), answersEventsIid_(answersEventsIid) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch ||
            (answersEventsIid_ && riid == eventsIid_)) {
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
        ids.push_back(id);
        flagsSeen.push_back(flags);
        LONG first = 0;
        if (params->cArgs > 0) {
            const VARIANT& last = params->rgvarg[params->cArgs - 1];
            first = (last.vt == (VT_I4 | VT_BYREF)) ? *last.plVal : last.lVal;
        }
        firstArguments.push_back(first);
        if (onInvoke)
            onInvoke();
        return S_OK;
    }

    ULONG refs = 1;
    std::vector<DISPID> ids;
    std::vector<WORD> flagsSeen;
    std::vector<LONG> firstArguments;
    std::function<void()> onInvoke;

  private:
    IID eventsIid_;
    bool answersEventsIid_;
};

class NotifySink : public IPropertyNotifySink {
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
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }

    ULONG refs = 1;
    std::vector<DISPID> changed;
};

}  // namespace comtest
