// A storage of named streams in memory, and CreateMemoryStorage.
#include <atomic>
#include <cctype>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "memory_stream.h"

namespace com::detail {
namespace {

// Element names are shorter than this many characters.
constexpr std::size_t kMaxNameLength = 31;
constexpr DWORD kAccessBits = STGM_WRITE | STGM_READWRITE;

std::u16string Folded(LPCOLESTR name) {
    std::u16string folded;
    for (const OLECHAR* c = name; *c != 0; ++c)
        folded.push_back(*c < 0x80 ? static_cast<OLECHAR>(std::tolower(*c)) : *c);
    return folded;
}

class MemoryStorage final : public IStorage {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IStorage) {
            *ppv = static_cast<IStorage*>(this);
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

    HRESULT STDMETHODCALLTYPE CreateStream(LPCOLESTR name, DWORD mode, DWORD reserved1,
                                           DWORD reserved2, IStream** stream) override {
        HRESULT status = Check(name, mode, reserved1 == 0 && reserved2 == 0, stream);
        if (FAILED(status))
            return status;
        Element* element = Find(name);
        if (element != nullptr && (mode & STGM_CREATE) == 0)
            return STG_E_FILEALREADYEXISTS;
        if (element != nullptr && Open(*element))
            return STG_E_ACCESSDENIED;
        try {
            if (element == nullptr) {
                elements_.push_back({Folded(name), std::make_shared<StreamBytes>(), {}});
                element = &elements_.back();
            } else {
                element->bytes->clear();
            }
        } catch (const std::bad_alloc&) {
            return STG_E_INSUFFICIENTMEMORY;
        }
        return Hand(*element, mode, stream);
    }

    HRESULT STDMETHODCALLTYPE OpenStream(LPCOLESTR name, void* reserved1, DWORD mode,
                                         DWORD reserved2, IStream** stream) override {
        HRESULT status = Check(name, mode, reserved1 == nullptr && reserved2 == 0, stream);
        if (FAILED(status))
            return status;
        if ((mode & STGM_CREATE) != 0)
            return STG_E_INVALIDFLAG;
        Element* element = Find(name);
        if (element == nullptr)
            return STG_E_FILENOTFOUND;
        if (Open(*element))
            return STG_E_ACCESSDENIED;
        return Hand(*element, mode, stream);
    }

    HRESULT STDMETHODCALLTYPE DestroyElement(LPCOLESTR name) override {
        if (name == nullptr)
            return STG_E_INVALIDPOINTER;
        for (auto it = elements_.begin(); it != elements_.end(); ++it) {
            if (it->name != Folded(name))
                continue;
            if (Open(*it))
                return STG_E_ACCESSDENIED;
            elements_.erase(it);
            return S_OK;
        }
        return STG_E_FILENOTFOUND;
    }

    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }

  private:
    struct Element {
        std::u16string name;
        std::shared_ptr<StreamBytes> bytes;
        std::weak_ptr<void> openMark;
    };

    ~MemoryStorage() = default;

    static HRESULT Check(LPCOLESTR name, DWORD mode, bool reservedZero, IStream** stream) {
        if (stream == nullptr || name == nullptr)
            return STG_E_INVALIDPOINTER;
        *stream = nullptr;
        if (!reservedZero)
            return STG_E_INVALIDPARAMETER;
        if ((mode & STGM_SHARE_EXCLUSIVE) == 0 || (mode & kAccessBits) == kAccessBits)
            return STG_E_INVALIDFLAG;
        const std::size_t length = std::char_traits<OLECHAR>::length(name);
        if (length == 0 || length > kMaxNameLength)
            return STG_E_INVALIDNAME;
        return S_OK;
    }
    Element* Find(LPCOLESTR name) {
        const std::u16string folded = Folded(name);
        for (Element& element : elements_)
            if (element.name == folded)
                return &element;
        return nullptr;
    }
    static bool Open(const Element& element) { return !element.openMark.expired(); }
    static HRESULT Hand(Element& element, DWORD mode, IStream** stream) {
        std::shared_ptr<void> mark;
        try {
            mark = std::make_shared<int>(0);
        } catch (const std::bad_alloc&) {
            return STG_E_INSUFFICIENTMEMORY;
        }
        const bool writable = (mode & kAccessBits) != 0;
        auto* opened = new (std::nothrow) MemoryStream(element.bytes, writable, mark);
        if (opened == nullptr)
            return STG_E_INSUFFICIENTMEMORY;
        element.openMark = mark;
        *stream = opened;
        return S_OK;
    }

    std::atomic<ULONG> refs_{1};
    std::vector<Element> elements_;
};

}  // namespace
}  // namespace com::detail

namespace com {

HRESULT CreateMemoryStorage(IStorage** storage) {
    if (storage == nullptr)
        return E_POINTER;
    *storage = new (std::nothrow) detail::MemoryStorage();
    return *storage != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace com
