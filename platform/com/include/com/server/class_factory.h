// The class object a server module hands out for one of its classes: CreateInstance makes a new
// T (which starts with one reference, as RefCount does) and answers the interface asked for.
#pragma once

#include <new>

#include "com/base.h"
#include "com/server/object.h"

namespace com::server {

template <typename T>
class ClassFactory final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory)
            return Hand(static_cast<IClassFactory*>(this), ppv);
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
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        T* object = new (std::nothrow) T();
        if (object == nullptr)
            return E_OUTOFMEMORY;
        const HRESULT result = object->QueryInterface(riid, ppv);
        object->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            ModuleCounts::Lock();
        else
            ModuleCounts::Unlock();
        return S_OK;
    }

  private:
    ~ClassFactory() = default;
    RefCount refs_;
};

// For DllGetClassObject: a new class object of T as the interface asked for.
template <typename T>
HRESULT MakeClassObject(REFIID riid, void** ppv) {
    auto* factory = new (std::nothrow) ClassFactory<T>();
    if (factory == nullptr)
        return E_OUTOFMEMORY;
    const HRESULT result = factory->QueryInterface(riid, ppv);
    factory->Release();
    return result;
}

}  // namespace com::server
