// A stream over bytes in memory, and CreateMemoryStream.
#include "memory_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "com/runtime.h"

namespace com::detail {
namespace {

// A memory stream grows to at most this many bytes (the platform's global memory block limit on
// a 32-bit system); further writes give STG_E_MEDIUMFULL.
constexpr std::uint64_t kMaxStreamBytes = 0x7FFFFFFFu;
// CopyTo moves the bytes through a buffer of this size.
constexpr ULONG kCopyChunk = 4096;

}  // namespace

MemoryStream::MemoryStream(std::shared_ptr<StreamBytes> bytes, bool writable,
                           std::shared_ptr<void> openMark)
    : bytes_(std::move(bytes)), writable_(writable), openMark_(std::move(openMark)) {}

HRESULT STDMETHODCALLTYPE MemoryStream::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ISequentialStream || riid == IID_IStream) {
        *ppv = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE MemoryStream::Release() {
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

bool MemoryStream::Reserve(std::uint64_t end) {
    if (end > kMaxStreamBytes)
        return false;
    if (end <= bytes_->size())
        return true;
    try {
        bytes_->resize(static_cast<std::size_t>(end), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

HRESULT STDMETHODCALLTYPE MemoryStream::Read(void* pv, ULONG cb, ULONG* pcbRead) {
    if (pcbRead != nullptr)
        *pcbRead = 0;
    if (pv == nullptr)
        return STG_E_INVALIDPOINTER;
    const std::uint64_t size = bytes_->size();
    const std::uint64_t available = position_ < size ? size - position_ : 0;
    const auto count = static_cast<ULONG>(std::min<std::uint64_t>(cb, available));
    if (count > 0)
        std::memcpy(pv, bytes_->data() + position_, count);
    position_ += count;
    if (pcbRead != nullptr)
        *pcbRead = count;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MemoryStream::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
    if (pcbWritten != nullptr)
        *pcbWritten = 0;
    if (pv == nullptr)
        return STG_E_INVALIDPOINTER;
    if (!writable_)
        return STG_E_ACCESSDENIED;
    if (!Reserve(position_ + cb))
        return STG_E_MEDIUMFULL;
    if (cb > 0)
        std::memcpy(bytes_->data() + position_, pv, cb);
    position_ += cb;
    if (pcbWritten != nullptr)
        *pcbWritten = cb;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MemoryStream::Seek(LARGE_INTEGER move, DWORD origin,
                                             ULARGE_INTEGER* newPosition) {
    long double base = 0;
    switch (origin) {
        case STREAM_SEEK_SET:
            break;
        case STREAM_SEEK_CUR:
            base = static_cast<long double>(position_);
            break;
        case STREAM_SEEK_END:
            base = static_cast<long double>(bytes_->size());
            break;
        default:
            return STG_E_INVALIDFUNCTION;
    }
    const long double target = base + static_cast<long double>(move.QuadPart);
    if (target < 0)
        return STG_E_INVALIDFUNCTION;
    position_ = static_cast<std::uint64_t>(target);
    if (newPosition != nullptr)
        newPosition->QuadPart = position_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MemoryStream::SetSize(ULARGE_INTEGER size) {
    if (!writable_)
        return STG_E_ACCESSDENIED;
    if (size.QuadPart > kMaxStreamBytes)
        return STG_E_MEDIUMFULL;
    if (size.QuadPart < bytes_->size()) {
        bytes_->resize(static_cast<std::size_t>(size.QuadPart));
        return S_OK;
    }
    return Reserve(size.QuadPart) ? S_OK : STG_E_MEDIUMFULL;
}

HRESULT STDMETHODCALLTYPE MemoryStream::CopyTo(IStream* target, ULARGE_INTEGER cb,
                                               ULARGE_INTEGER* read, ULARGE_INTEGER* written) {
    if (read != nullptr)
        read->QuadPart = 0;
    if (written != nullptr)
        written->QuadPart = 0;
    if (target == nullptr)
        return STG_E_INVALIDPOINTER;
    std::uint64_t left = cb.QuadPart;
    std::uint8_t chunk[kCopyChunk];
    while (left > 0) {
        ULONG got = 0;
        Read(chunk, static_cast<ULONG>(std::min<std::uint64_t>(left, kCopyChunk)), &got);
        if (got == 0)
            break;
        if (read != nullptr)
            read->QuadPart += got;
        ULONG put = 0;
        const HRESULT status = target->Write(chunk, got, &put);
        if (written != nullptr)
            written->QuadPart += put;
        if (FAILED(status))
            return status;
        left -= got;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MemoryStream::Stat(STATSTG* stat, DWORD) {
    if (stat == nullptr)
        return STG_E_INVALIDPOINTER;
    *stat = STATSTG{};
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = bytes_->size();
    stat->grfMode =
        (writable_ ? STGM_READWRITE : STGM_READ) | (openMark_ ? STGM_SHARE_EXCLUSIVE : 0u);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MemoryStream::Clone(IStream** clone) {
    if (clone == nullptr)
        return STG_E_INVALIDPOINTER;
    auto* copy = new (std::nothrow) MemoryStream(bytes_, writable_, openMark_);
    *clone = copy;
    if (copy == nullptr)
        return E_OUTOFMEMORY;
    copy->position_ = position_;
    return S_OK;
}

}  // namespace com::detail

namespace com {

HRESULT CreateMemoryStream(IStream** stream) {
    if (stream == nullptr)
        return E_POINTER;
    *stream = nullptr;
    std::shared_ptr<detail::StreamBytes> bytes;
    try {
        bytes = std::make_shared<detail::StreamBytes>();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    *stream = new (std::nothrow) detail::MemoryStream(std::move(bytes), true);
    return *stream != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace com
