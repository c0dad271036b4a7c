// Buffer entries: allocation, data access, sample bookkeeping and the overlapped record.
#include <cstring>
#include <limits>
#include <new>

#include "records.h"

namespace hxmem32 {
namespace {

bool IsValidWidth(std::uint32_t width) {
    return width == 1 || width == 2 || width == 4;
}

std::uint32_t Allocate(std::uint32_t flags, std::uint32_t samples, std::uint32_t width, HBUF* out) {
    if (out == nullptr)
        return HXCANTALLOCBCB;
    if (!IsValidWidth(width))
        return HXBADSAMPLESIZE;
    const std::uint64_t bytes = std::uint64_t{samples} * width;
    if (samples == 0 || bytes > std::numeric_limits<std::uint32_t>::max())
        return HXCANTALLOCBUFFER;

    auto buffer = std::make_shared<Buffer>();
    buffer->data.reset(new (std::nothrow) std::byte[bytes]());
    if (buffer->data == nullptr)
        return HXCANTALLOCBUFFER;
    buffer->bytes = static_cast<std::uint32_t>(bytes);
    buffer->width = width;
    buffer->flags = flags;

    const HBUF handle = GlobalState().buffers.Insert(std::move(buffer));
    if (handle == 0)
        return HXCANTALLOCBCB;
    *out = handle;
    return 0;
}

// Runs `action` on the live buffer of `handle` with its lock held; HXINVALIDHBUF for a freed,
// stale or foreign handle.
template <typename Action>
std::uint32_t WithBuffer(HBUF handle, Action&& action) {
    const std::shared_ptr<Buffer> buffer = GlobalState().buffers.Find(handle);
    if (buffer == nullptr)
        return HXINVALIDHBUF;
    std::lock_guard lock(buffer->mutex);
    if (buffer->freed)
        return HXINVALIDHBUF;
    return action(*buffer);
}

// Reads one field through a non-null pointer.
template <typename Out, typename Read>
std::uint32_t GetField(HBUF handle, Out* out, Read&& read) {
    if (out == nullptr)
        return HXINVALIDHBUF;
    return WithBuffer(handle, [&](Buffer& buffer) -> uint32_t {
        *out = read(buffer);
        return 0u;
    });
}

}  // namespace
}  // namespace hxmem32

using hxmem32::Buffer;
using hxmem32::GetField;
using hxmem32::WithBuffer;

extern "C" {

uint32_t HXMEMAPI hxDmAllocBuffer(uint32_t flags, uint32_t samples, HBUF* buffer) {
    return hxmem32::Allocate(flags, samples, 2, buffer);
}

uint32_t HXMEMAPI hxDmCallocBuffer(uint32_t flags, uint32_t flags2, uint32_t samples,
                                   uint32_t sampleSize, HBUF* buffer) {
    return hxmem32::Allocate(flags, samples, sampleSize, buffer);
}

uint32_t HXMEMAPI hxDmFreeBuffer(HBUF handle) {
    const uint32_t status = WithBuffer(handle, [](Buffer& buffer) -> uint32_t {
        if (buffer.list != 0)
            return HXBUFFERONLIST;
        if (buffer.inProcess)
            return HXBUFFERLOCKED;
        buffer.freed = true;
        return 0u;
    });
    // The data goes with the last reference; a call that found the buffer just before it was
    // freed still holds one and sees it freed.
    if (status == 0)
        hxmem32::GlobalState().buffers.Remove(handle);
    return status;
}

uint32_t HXMEMAPI hxDmCopyToBuffer(HBUF handle, const void* source, uint32_t count) {
    return WithBuffer(handle, [&](Buffer& buffer) -> uint32_t {
        if (count > buffer.CapacitySamples())
            return HXBUFFERTOOSMALL;
        if (count > 0 && source == nullptr)
            return HXBUFFERTOOSMALL;
        if (count > 0)
            std::memcpy(buffer.data.get(), source, std::size_t{count} * buffer.width);
        buffer.validSamples = count;
        return 0u;
    });
}

uint32_t HXMEMAPI hxDmCopyFromBuffer(HBUF handle, void* destination, uint32_t count) {
    return WithBuffer(handle, [&](Buffer& buffer) -> uint32_t {
        if (count == 0)
            return 0u;
        if (buffer.validSamples == 0)
            return HXNOVALIDSAMPLES;
        if (count > buffer.validSamples || destination == nullptr)
            return HXBUFFERTOOSMALL;
        std::memcpy(destination, buffer.data.get(), std::size_t{count} * buffer.width);
        return 0u;
    });
}

uint32_t HXMEMAPI hxDmGetBufferPtr(HBUF handle, void** data) {
    return GetField(handle, data, [](Buffer& buffer) { return buffer.data.get(); });
}

uint32_t HXMEMAPI hxDmGetBufferSize(HBUF handle, uint32_t* bytes) {
    return GetField(handle, bytes, [](Buffer& buffer) { return buffer.bytes; });
}

uint32_t HXMEMAPI hxDmGetValidSamples(HBUF handle, uint32_t* samples) {
    return GetField(handle, samples, [](Buffer& buffer) { return buffer.validSamples; });
}

uint32_t HXMEMAPI hxDmSetValidSamples(HBUF handle, uint32_t samples) {
    return WithBuffer(handle, [&](Buffer& buffer) -> uint32_t {
        if (samples > buffer.CapacitySamples())
            return HXVALIDSAMPLESTOOLARGE;
        buffer.validSamples = samples;
        return 0u;
    });
}

uint32_t HXMEMAPI hxDmSetDataWidth(HBUF handle, uint32_t bytesPerSample) {
    return WithBuffer(handle, [&](Buffer& buffer) -> uint32_t {
        if (!hxmem32::IsValidWidth(bytesPerSample))
            return HXBADSAMPLESIZE;
        buffer.width = bytesPerSample;
        if (buffer.validSamples > buffer.CapacitySamples())
            buffer.validSamples = buffer.CapacitySamples();
        return 0u;
    });
}

uint32_t HXMEMAPI hxDmGetDataWidth(HBUF handle, uint32_t* bytesPerSample) {
    return GetField(handle, bytesPerSample, [](Buffer& buffer) { return buffer.width; });
}

uint32_t HXMEMAPI hxDmSetDataBits(HBUF handle, uint32_t bits) {
    return WithBuffer(handle, [&](Buffer& buffer) -> uint32_t {
        if (bits == 0 || bits > 32)
            return HXBADSAMPLESIZE;
        buffer.bits = bits;
        return 0u;
    });
}

uint32_t HXMEMAPI hxDmGetDataBits(HBUF handle, uint32_t* bits) {
    return GetField(handle, bits, [](Buffer& buffer) { return buffer.bits; });
}

uint32_t HXMEMAPI hxDmStampBuffer(HBUF handle) {
    return WithBuffer(handle, [](Buffer& buffer) -> uint32_t {
        buffer.stamp = ++hxmem32::GlobalState().lastStamp;
        return 0u;
    });
}

uint32_t HXMEMAPI hxDmGetBufferStamp(HBUF handle, uint32_t* stamp) {
    return GetField(handle, stamp, [](Buffer& buffer) { return buffer.stamp; });
}

uint32_t HXMEMAPI hxDmGetBufferLocation(HBUF handle, uint32_t* location) {
    return GetField(handle, location, [](Buffer& buffer) {
        return buffer.inProcess   ? HXDM_LOCATION_INPROCESS
               : buffer.list != 0 ? HXDM_LOCATION_LISTED
                                  : HXDM_LOCATION_HELD;
    });
}

uint32_t HXMEMAPI hxDmSetBufferInProcess(HBUF handle) {
    return WithBuffer(handle, [](Buffer& buffer) -> uint32_t {
        if (buffer.list != 0)
            return HXBUFFERONLIST;
        if (buffer.inProcess)
            return HXBUFFERLOCKED;
        buffer.inProcess = true;
        return 0u;
    });
}

uint32_t HXMEMAPI hxDmGetOverlapped(HBUF handle, OVERLAPPED** overlapped) {
    return GetField(handle, overlapped, [](Buffer& buffer) {
        return reinterpret_cast<OVERLAPPED*>(buffer.overlapped);
    });
}

}  // extern "C"
