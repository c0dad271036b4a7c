// Component texts (BSTR): counted 16-bit strings allocated by the runtime.
//
// A BSTR points at the first character; the 32-bit byte length sits just before it and a 16-bit
// zero just after the last character, so a BSTR is also a terminated wide string, and it may hold
// zero characters inside. A null BSTR is a valid empty text: every call here takes it as "".
// Whoever receives a BSTR as an output owns it and frees it with SysFreeString.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "com/base.h"

using BSTR = OLECHAR*;
using LPBSTR = BSTR*;

extern "C" {

// A copy of the terminated text; null in gives null out.
BSTR WINAPI SysAllocString(const OLECHAR* psz);
// `ui` characters copied from strIn, or left zero when strIn is null.
BSTR WINAPI SysAllocStringLen(const OLECHAR* strIn, UINT ui);
// `len` bytes copied from psz (or left zero), an odd byte count kept as is.
BSTR WINAPI SysAllocStringByteLen(LPCSTR psz, UINT len);
// Replaces *pbstr with a copy of psz; FALSE (and *pbstr unchanged) when memory runs out.
INT WINAPI SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
void WINAPI SysFreeString(BSTR bstrString);
// Characters (the byte length / 2, rounded down); 0 for null.
UINT WINAPI SysStringLen(BSTR pbstr);
UINT WINAPI SysStringByteLen(BSTR bstr);

}  // extern "C"

namespace com {

// Texts at the boundary: the system's names are narrow (ASCII and Latin-1 code page); a narrow
// byte becomes the wide character of the same value, and a wide character above 0xFF becomes '?'.
BSTR AllocBstr(std::string_view narrow);
std::string NarrowFromBstr(BSTR text);
std::u16string_view ViewOf(BSTR text);

// An owned BSTR, freed when it goes.
class Bstr {
  public:
    Bstr() = default;
    explicit Bstr(std::string_view narrow) : text_(AllocBstr(narrow)) {}
    ~Bstr() { SysFreeString(text_); }
    Bstr(Bstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept {
        if (this != &other) {
            SysFreeString(text_);
            text_ = std::exchange(other.text_, nullptr);
        }
        return *this;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    // Takes ownership of a BSTR received from a call.
    static Bstr Attach(BSTR text) {
        Bstr owned;
        owned.text_ = text;
        return owned;
    }
    BSTR get() const { return text_; }
    // For a call that writes an owned BSTR: frees the held text first.
    BSTR* out() {
        SysFreeString(text_);
        text_ = nullptr;
        return &text_;
    }
    BSTR Detach() { return std::exchange(text_, nullptr); }
    std::string narrow() const { return NarrowFromBstr(text_); }
    UINT length() const { return SysStringLen(text_); }

  private:
    BSTR text_ = nullptr;
};

}  // namespace com
