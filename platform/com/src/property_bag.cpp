// A property bag held in memory, and CreateMemoryPropertyBag.
#include <atomic>
#include <cctype>
#include <new>
#include <string>
#include <vector>

#include "com/persist.h"

namespace com::detail {
namespace {

std::u16string Folded(LPCOLESTR name) {
    std::u16string folded;
    for (const OLECHAR* c = name; *c != 0; ++c)
        folded.push_back(*c < 0x80 ? static_cast<OLECHAR>(std::tolower(*c)) : *c);
    return folded;
}

class MemoryPropertyBag final : public IPropertyBag {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IPropertyBag) {
            *ppv = static_cast<IPropertyBag*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override {
        if (name == nullptr || value == nullptr)
            return E_POINTER;
        const Entry* entry = Find(name);
        if (entry == nullptr)
            return E_INVALIDARG;
        Variant result;
        const HRESULT status = value->vt == VT_EMPTY
                                   ? VariantCopy(&result, &entry->value)
                                   : VariantChangeType(&result, &entry->value, 0, value->vt);
        if (FAILED(status)) {
            if (log != nullptr) {
                EXCEPINFO error{};
                error.scode = status;
                log->AddError(name, &error);
            }
            return E_FAIL;
        }
        *value = result;
        VariantInit(&result);  // the caller owns what it holds now
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override {
        if (name == nullptr || value == nullptr)
            return E_POINTER;
        Variant copy;
        const HRESULT status = VariantCopyInd(&copy, value);
        if (FAILED(status))
            return status;
        try {
            Entry* entry = Find(name);
            if (entry != nullptr)
                entry->value = copy;
            else
                entries_.push_back({Folded(name), copy});
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

  private:
    struct Entry {
        std::u16string name;
        Variant value;
    };

    ~MemoryPropertyBag() = default;
    Entry* Find(LPCOLESTR name) {
        const std::u16string folded = Folded(name);
        for (Entry& entry : entries_)
            if (entry.name == folded)
                return &entry;
        return nullptr;
    }

    std::atomic<ULONG> refs_{1};
    std::vector<Entry> entries_;
};

}  // namespace
}  // namespace com::detail

namespace com {

HRESULT CreateMemoryPropertyBag(IPropertyBag** bag) {
    if (bag == nullptr)
        return E_POINTER;
    *bag = new (std::nothrow) detail::MemoryPropertyBag();
    return *bag != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace com
