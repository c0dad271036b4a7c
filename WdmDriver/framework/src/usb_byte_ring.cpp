#include "framework/byte_ring.h"
#include "framework/pool.h"

namespace wdm {

NTSTATUS ByteRing::Allocate(ULONG elements, ULONG elementSize) {
    Release();
    if (elements == 0 || elementSize == 0)
        return STATUS_INVALID_PARAMETER;
    const SIZE_T bytes = static_cast<SIZE_T>(elements + 1) * elementSize;
    storage_ = static_cast<UCHAR*>(PoolAllocate(NonPagedPool, bytes));
    if (storage_ == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    elementSize_ = elementSize;
    capacity_ = elements + 1;
    read_ = write_ = 0;
    return STATUS_SUCCESS;
}

void ByteRing::Release() {
    PoolFree(storage_);
    storage_ = nullptr;
    capacity_ = 0;
    read_ = write_ = 0;
}

ULONG ByteRing::Write(const void* source, ULONG n) {
    if (storage_ == nullptr)
        return 0;
    ULONG run;      // from the write index on
    ULONG wrapped;  // from slot 0 on
    if (write_ < read_) {
        run = read_ - write_ - 1;
        wrapped = 0;
    } else {
        run = capacity_ - write_ - (read_ == 0 ? 1 : 0);
        wrapped = read_ == 0 ? 0 : read_ - 1;
    }
    const auto* from = static_cast<const UCHAR*>(source);
    const ULONG first = n < run ? n : run;
    if (first == 0)
        return 0;  // full (the wrapped run is empty too then), or nothing offered
    RtlCopyMemory(Slot(write_), from, static_cast<SIZE_T>(first) * elementSize_);
    write_ += first;
    if (write_ == capacity_)
        write_ = 0;
    ULONG second = n - first;
    if (second > wrapped)
        second = wrapped;
    if (second > 0) {
        RtlCopyMemory(Slot(0), from + static_cast<SIZE_T>(first) * elementSize_,
                      static_cast<SIZE_T>(second) * elementSize_);
        write_ = second;
    }
    return first + second;
}

ULONG ByteRing::Read(void* destination, ULONG n) {
    auto* to = static_cast<UCHAR*>(destination);
    ULONG done = 0;
    while (done < n && read_ != write_) {
        const ULONG end = read_ < write_ ? write_ : capacity_;
        ULONG run = end - read_;
        if (run > n - done)
            run = n - done;
        RtlCopyMemory(to + static_cast<SIZE_T>(done) * elementSize_, Slot(read_),
                      static_cast<SIZE_T>(run) * elementSize_);
        done += run;
        read_ += run;
        if (read_ == capacity_)
            read_ = 0;
    }
    return done;
}

ULONG ByteRing::Count() const {
    return write_ >= read_ ? write_ - read_ : write_ + capacity_ - read_;
}

ULONG ByteRing::FreeSpace() const {
    if (storage_ == nullptr)
        return 0;
    return (write_ < read_ ? read_ : capacity_ + read_) - write_ - 1;
}

}  // namespace wdm
