// `ByteRing`: a ring of fixed-size elements in non-paged pool, with a spin lock beside it that its
// users take around each operation (the operations themselves do not lock). A ring made for n
// elements has n + 1 slots and holds at most n: read index = write index means empty.
#pragma once

#include "framework/spin_lock.h"
#include "kernel/wdm.h"

namespace wdm {

class ByteRing {
  public:
    ByteRing() = default;
    ~ByteRing() { Release(); }
    ByteRing(const ByteRing&) = delete;
    ByteRing& operator=(const ByteRing&) = delete;

    // Storage for `elements` elements of `elementSize` bytes, zero-filled; the ring starts empty.
    NTSTATUS Allocate(ULONG elements, ULONG elementSize = 1);
    void Release();
    bool Allocated() const { return storage_ != nullptr; }

    // Appends at most n elements; returns how many were written.
    ULONG Write(const void* source, ULONG n);
    // Takes at most n elements out; returns how many were read.
    ULONG Read(void* destination, ULONG n);
    ULONG Count() const;
    ULONG FreeSpace() const;
    void Empty() { read_ = write_ = 0; }

    ULONG Capacity() const { return capacity_; }  // slots: one more than the ring holds
    ULONG ReadIndex() const { return read_; }
    ULONG WriteIndex() const { return write_; }
    SpinLock& Lock() { return lock_; }

  private:
    UCHAR* Slot(ULONG index) const { return storage_ + static_cast<SIZE_T>(index) * elementSize_; }

    UCHAR* storage_ = nullptr;
    ULONG elementSize_ = 1;
    ULONG capacity_ = 0;
    ULONG read_ = 0;
    ULONG write_ = 0;
    SpinLock lock_;
};

}  // namespace wdm
