// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" texts of identifiers.
#include <cctype>
#include <cstdio>
#include <string>

#include "com/runtime.h"

namespace {

constexpr std::size_t kGuidTextLength = MQ_GUID_STRING_LENGTH - 1;
// Positions of the dashes inside the braces' text.
constexpr std::size_t kDashes[] = {9, 14, 19, 24};

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    const int lower = std::tolower(static_cast<unsigned char>(c));
    if (lower >= 'a' && lower <= 'f')
        return lower - 'a' + 10;
    return -1;
}

bool IsDash(std::size_t position) {
    for (std::size_t dash : kDashes)
        if (dash == position)
            return true;
    return false;
}

}  // namespace

namespace com {

std::string StringFromGuid(REFGUID guid) {
    char text[MQ_GUID_STRING_LENGTH];
    std::snprintf(text, sizeof(text), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  guid.Data1, guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2],
                  guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

bool GuidFromString(std::string_view text, GUID* guid) {
    if (text.size() != kGuidTextLength || text.front() != '{' || text.back() != '}')
        return false;
    // The 32 hex digits in order, dashes where they belong.
    unsigned char digits[32];
    std::size_t count = 0;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        if (IsDash(i)) {
            if (text[i] != '-')
                return false;
            continue;
        }
        const int digit = HexDigit(text[i]);
        if (digit < 0)
            return false;
        digits[count++] = static_cast<unsigned char>(digit);
    }
    auto read = [&](std::size_t first, std::size_t n) {
        unsigned long value = 0;
        for (std::size_t i = first; i < first + n; ++i)
            value = value * 16 + digits[i];
        return value;
    };
    guid->Data1 = static_cast<DWORD>(read(0, 8));
    guid->Data2 = static_cast<WORD>(read(8, 4));
    guid->Data3 = static_cast<WORD>(read(12, 4));
    for (std::size_t i = 0; i < 8; ++i)
        guid->Data4[i] = static_cast<BYTE>(read(16 + 2 * i, 2));
    return true;
}

}  // namespace com

extern "C" {

INT WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, INT cchMax) {
    if (lpsz == nullptr || cchMax < MQ_GUID_STRING_LENGTH)
        return 0;
    const std::string text = com::StringFromGuid(rguid);
    for (std::size_t i = 0; i < text.size(); ++i)
        lpsz[i] = static_cast<OLECHAR>(text[i]);
    lpsz[text.size()] = 0;
    return MQ_GUID_STRING_LENGTH;
}

HRESULT WINAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
    if (lpsz == nullptr || pclsid == nullptr)
        return E_INVALIDARG;
    std::string narrow;
    for (const OLECHAR* c = lpsz; *c != 0 && narrow.size() <= kGuidTextLength; ++c)
        narrow.push_back(*c < 0x80 ? static_cast<char>(*c) : '?');
    return com::GuidFromString(narrow, pclsid) ? S_OK : CO_E_CLASSSTRING;
}

}  // extern "C"
