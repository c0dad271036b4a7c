// BSTR storage: a 32-bit byte length, the characters, and a 16-bit zero, in one allocation.
#include "com/bstr.h"

#include <cstdlib>
#include <cstring>

namespace {

using Length = std::uint32_t;
constexpr std::size_t kPrefix = sizeof(Length);
constexpr std::size_t kTerminator = sizeof(OLECHAR);
// The byte length must fit the prefix with room for the terminator.
constexpr std::size_t kMaxBytes = 0x7FFFFFF0u;

BSTR Allocate(const void* bytes, std::size_t byteLength) {
    if (byteLength > kMaxBytes)
        return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + byteLength + kTerminator));
    if (block == nullptr)
        return nullptr;
    const auto length = static_cast<Length>(byteLength);
    std::memcpy(block, &length, kPrefix);
    if (bytes != nullptr)
        std::memcpy(block + kPrefix, bytes, byteLength);
    else
        std::memset(block + kPrefix, 0, byteLength);
    std::memset(block + kPrefix + byteLength, 0, kTerminator);
    return reinterpret_cast<BSTR>(block + kPrefix);
}

unsigned char* BlockOf(BSTR text) {
    return reinterpret_cast<unsigned char*>(text) - kPrefix;
}

std::size_t WideLength(const OLECHAR* text) {
    std::size_t length = 0;
    while (text[length] != 0)
        ++length;
    return length;
}

}  // namespace

extern "C" {

BSTR WINAPI SysAllocString(const OLECHAR* psz) {
    if (psz == nullptr)
        return nullptr;
    return Allocate(psz, WideLength(psz) * sizeof(OLECHAR));
}

BSTR WINAPI SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
    return Allocate(strIn, static_cast<std::size_t>(ui) * sizeof(OLECHAR));
}

BSTR WINAPI SysAllocStringByteLen(LPCSTR psz, UINT len) {
    return Allocate(psz, len);
}

INT WINAPI SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
    if (pbstr == nullptr)
        return FALSE;
    BSTR copy = SysAllocString(psz);
    if (copy == nullptr && psz != nullptr)
        return FALSE;
    SysFreeString(*pbstr);
    *pbstr = copy;
    return TRUE;
}

void WINAPI SysFreeString(BSTR bstrString) {
    if (bstrString != nullptr)
        std::free(BlockOf(bstrString));
}

UINT WINAPI SysStringByteLen(BSTR bstr) {
    if (bstr == nullptr)
        return 0;
    Length length = 0;
    std::memcpy(&length, BlockOf(bstr), kPrefix);
    return length;
}

UINT WINAPI SysStringLen(BSTR pbstr) {
    return SysStringByteLen(pbstr) / sizeof(OLECHAR);
}

}  // extern "C"

namespace com {

namespace {
constexpr OLECHAR kLastNarrow = 0xFF;
constexpr char kUnmappable = '?';
}  // namespace

BSTR AllocBstr(std::string_view narrow) {
    std::u16string wide;
    wide.reserve(narrow.size());
    for (char c : narrow)
        wide.push_back(static_cast<OLECHAR>(static_cast<unsigned char>(c)));
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::u16string_view ViewOf(BSTR text) {
    return text == nullptr ? std::u16string_view() : std::u16string_view(text, SysStringLen(text));
}

std::string NarrowFromBstr(BSTR text) {
    std::string narrow;
    for (OLECHAR c : ViewOf(text))
        narrow.push_back(c <= kLastNarrow ? static_cast<char>(c) : kUnmappable);
    return narrow;
}

}  // namespace com
