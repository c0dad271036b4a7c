// The memory stream behind CreateMemoryStream and the streams of a memory storage.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "com/storage.h"

namespace com::detail {

using StreamBytes = std::vector<std::uint8_t>;

class MemoryStream final : public IStream {
  public:
    // `bytes` are shared with clones (and with the storage that holds them); `openMark` lives as
    // long as any stream over them does, which is how a storage knows the stream is open.
    MemoryStream(std::shared_ptr<StreamBytes> bytes, bool writable,
                 std::shared_ptr<void> openMark = {});

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override;
    HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER* newPosition) override;
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override;
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER cb, ULARGE_INTEGER* read,
                                     ULARGE_INTEGER* written) override;
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Clone(IStream** clone) override;

  private:
    ~MemoryStream() = default;
    // Makes room up to `end`; false when the stream cannot grow that far.
    bool Reserve(std::uint64_t end);

    std::atomic<ULONG> refs_{1};
    std::shared_ptr<StreamBytes> bytes_;
    bool writable_;
    std::shared_ptr<void> openMark_;
    std::uint64_t position_ = 0;
};

}  // namespace com::detail
