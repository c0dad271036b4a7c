#include "modules/hxmemdefs.h"

#include <algorithm>

#include "uilang/conversions.h"
#include "uilang/declared_entry.h"
#include "uilang/runtime_error.h"

namespace larkspur::hxmemdefs {
namespace {

constexpr const char* kLibrary = "HXMEM32.DLL";
constexpr std::int16_t kTextLength = 80;
constexpr int kTextBuffer = 255;

using Alloc = std::uint32_t(std::uint32_t, std::uint32_t, std::uint32_t*);
using Calloc = std::uint32_t(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                             std::uint32_t*);
using CopyTo = std::uint32_t(std::uint32_t, const void*, std::uint32_t);
using CopyFrom = std::uint32_t(std::uint32_t, void*, std::uint32_t);
using Free = std::uint32_t(std::uint32_t);
using ErrorString = std::uint32_t(std::uint32_t, char*, std::uint32_t);

struct Entries {
    uilang::DeclaredEntry<Alloc> alloc{kLibrary, "hxDmAllocBuffer"};
    uilang::DeclaredEntry<Calloc> calloc{kLibrary, "hxDmCallocBuffer"};
    uilang::DeclaredEntry<CopyTo> copyTo{kLibrary, "hxDmCopyToBuffer"};
    uilang::DeclaredEntry<CopyFrom> copyFrom{kLibrary, "hxDmCopyFromBuffer"};
    uilang::DeclaredEntry<Free> free{kLibrary, "hxDmFreeBuffer"};
    uilang::DeclaredEntry<ErrorString> errorString{kLibrary, "hxDmGetErrorString"};
};

Entries& Bound() {
    static Entries entries;
    return entries;
}

std::function<void(Handle)>& Observer() {
    static std::function<void(Handle)> observer;
    return observer;
}

Handle Allocated(std::uint32_t handle) {
    if (Observer())
        Observer()(static_cast<Handle>(handle));
    return static_cast<Handle>(handle);
}

// Narrows the status as a 16-bit variable would (overflow beyond it) and raises it.
void Check(const char* source, std::uint32_t status) {
    if (status == 0)
        return;
    std::int16_t narrowed = uilang::CInt(static_cast<double>(static_cast<std::int32_t>(status)));
    RaiseMemError(source, narrowed);
}

std::uint32_t U(std::int32_t value) {
    return static_cast<std::uint32_t>(value);
}

}  // namespace

Handle AllocBuffer(std::int32_t flags, std::int32_t samples) {
    std::uint32_t handle = 0;
    Check("AllocBuffer", Bound().alloc(U(flags), U(samples), &handle));
    return Allocated(handle);
}

Handle CallocBuffer(std::int32_t flags, std::int32_t flags2, std::int32_t samples,
                    std::int32_t bytesPerSample) {
    std::uint32_t handle = 0;
    Check("CallocBuffer",
          Bound().calloc(U(flags), U(flags2), U(samples), U(bytesPerSample), &handle));
    return Allocated(handle);
}

void CopyToBuffer(Handle buffer, const std::int16_t* first, std::int32_t count) {
    Check("CopyToBuffer", Bound().copyTo(U(buffer), first, U(count)));
}

void CopyLongToBuffer(Handle buffer, const std::int32_t* first, std::int32_t count) {
    Check("CopyLongToBuffer", Bound().copyTo(U(buffer), first, U(count)));
}

void CopyFromBuffer(Handle buffer, std::int16_t* first, std::int32_t count) {
    Check("CopyFromBuffer", Bound().copyFrom(U(buffer), first, U(count)));
}

void CopyLongFromBuffer(Handle buffer, std::int32_t* first, std::int32_t count) {
    Check("CopyLongFromBuffer", Bound().copyFrom(U(buffer), first, U(count)));
}

void FreeBuffer(Handle buffer) {
    Check("FreeBuffer", Bound().free(U(buffer)));
}

void ObserveAllocations(std::function<void(Handle)> observer) {
    Observer() = std::move(observer);
}

std::string MemErrorString(std::int16_t status, std::int16_t maxLength) {
    char text[kTextBuffer + 1] = {};
    int length = std::min<int>(maxLength, kTextBuffer);
    if (length > 0)
        Bound().errorString(static_cast<std::uint32_t>(status), text,
                            static_cast<std::uint32_t>(length));
    return std::string(text);
}

void RaiseMemError(const std::string& source, std::int16_t status) {
    std::string text = MemErrorString(status, kTextLength);
    throw uilang::RuntimeError(kLibraryErrorBase + status, source, text);
}

}  // namespace larkspur::hxmemdefs
