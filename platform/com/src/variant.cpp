// VARIANT lifetime and VariantChangeType.
#include "com/variant.h"

#include <cctype>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>

#include "com/dispatch.h"

namespace {

bool IsKnownType(VARTYPE vt) {
    switch (vt & VT_TYPEMASK) {
        case VT_EMPTY:
        case VT_NULL:
        case VT_I2:
        case VT_I4:
        case VT_R4:
        case VT_R8:
        case VT_BSTR:
        case VT_DISPATCH:
        case VT_ERROR:
        case VT_BOOL:
        case VT_UNKNOWN:
        case VT_I1:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
            return true;
        case VT_VARIANT:
            return (vt & VT_BYREF) != 0;  // only as a reference to another variant
        default:
            return false;
    }
}

// A value read out of a variant, on the way to another type.
struct Number {
    bool floating = false;
    bool isUnsigned = false;  // a VT_UI8 above the signed range
    long long integer = 0;
    unsigned long long unsignedInteger = 0;
    double real = 0.0;

    double AsReal() const {
        if (floating)
            return real;
        return isUnsigned ? static_cast<double>(unsignedInteger) : static_cast<double>(integer);
    }
    bool IsZero() const { return floating ? real == 0.0 : (isUnsigned ? false : integer == 0); }
};

Number Integer(long long value) {
    Number n;
    n.integer = value;
    return n;
}
Number Real(double value) {
    Number n;
    n.floating = true;
    n.real = value;
    return n;
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool EqualsNoCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != 0; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && b[i] == 0;
}

// A text that reads wholly as a number.
std::optional<Number> ParseNumber(BSTR text, VARTYPE target) {
    const std::string trimmed = Trimmed(com::NarrowFromBstr(text));
    if (trimmed.empty())
        return std::nullopt;
    if (target == VT_BOOL) {
        if (EqualsNoCase(trimmed, "true"))
            return Integer(-1);
        if (EqualsNoCase(trimmed, "false"))
            return Integer(0);
    }
    char* end = nullptr;
    errno = 0;
    const long long integer = std::strtoll(trimmed.c_str(), &end, 10);
    if (errno == 0 && end == trimmed.c_str() + trimmed.size())
        return Integer(integer);
    errno = 0;
    const double real = std::strtod(trimmed.c_str(), &end);
    if (end != trimmed.c_str() + trimmed.size() || std::isnan(real))
        return std::nullopt;
    return Real(real);  // out of range reads as infinity, which no type holds
}

// The number a variant holds; nullopt when it holds none (its status in *status).
std::optional<Number> ReadNumber(const VARIANT& v, VARTYPE target, HRESULT* status) {
    *status = DISP_E_TYPEMISMATCH;
    switch (v.vt) {
        case VT_EMPTY:
            return Integer(0);
        case VT_I1:
            return Integer(v.cVal);
        case VT_UI1:
            return Integer(v.bVal);
        case VT_I2:
            return Integer(v.iVal);
        case VT_UI2:
            return Integer(v.uiVal);
        case VT_I4:
            return Integer(v.lVal);
        case VT_INT:
            return Integer(v.intVal);
        case VT_UI4:
            return Integer(v.ulVal);
        case VT_UINT:
            return Integer(v.uintVal);
        case VT_I8:
            return Integer(v.llVal);
        case VT_UI8: {
            Number n;
            if (v.ullVal > static_cast<unsigned long long>(std::numeric_limits<long long>::max())) {
                n.isUnsigned = true;
                n.unsignedInteger = v.ullVal;
            } else {
                n.integer = static_cast<long long>(v.ullVal);
            }
            return n;
        }
        case VT_R4:
            return Real(v.fltVal);
        case VT_R8:
            return Real(v.dblVal);
        case VT_BOOL:
            return Integer(v.boolVal != VARIANT_FALSE ? -1 : 0);
        case VT_BSTR:
            return ParseNumber(v.bstrVal, target);
        default:
            return std::nullopt;
    }
}

// Rounds half to even into [low, high]; DISP_E_OVERFLOW outside it.
HRESULT ToInteger(const Number& n, long double low, long double high, long long* out) {
    if (n.isUnsigned) {
        if (static_cast<long double>(n.unsignedInteger) > high)
            return DISP_E_OVERFLOW;
        *out = static_cast<long long>(n.unsignedInteger);
        return S_OK;
    }
    if (!n.floating) {
        if (n.integer < low || n.integer > high)
            return DISP_E_OVERFLOW;
        *out = n.integer;
        return S_OK;
    }
    if (!std::isfinite(n.real))
        return DISP_E_OVERFLOW;
    const double rounded = std::nearbyint(n.real);  // the default rounding: half to even
    if (rounded < low || rounded > high)
        return DISP_E_OVERFLOW;
    *out = static_cast<long long>(rounded);
    return S_OK;
}

template <typename T>
HRESULT StoreInteger(const Number& n, T* out) {
    long long value = 0;
    const HRESULT status =
        ToInteger(n, static_cast<long double>(std::numeric_limits<T>::min()),
                  static_cast<long double>(std::numeric_limits<T>::max()), &value);
    if (SUCCEEDED(status))
        *out = static_cast<T>(value);
    return status;
}

HRESULT StoreUnsigned64(const Number& n, ULONGLONG* out) {
    constexpr double kTwoTo64 = 18446744073709551616.0;
    if (n.isUnsigned) {
        *out = n.unsignedInteger;
        return S_OK;
    }
    if (!n.floating) {
        if (n.integer < 0)
            return DISP_E_OVERFLOW;
        *out = static_cast<unsigned long long>(n.integer);
        return S_OK;
    }
    const double rounded = std::nearbyint(n.real);
    if (!std::isfinite(rounded) || rounded < 0.0 || rounded >= kTwoTo64)
        return DISP_E_OVERFLOW;
    *out = static_cast<unsigned long long>(rounded);
    return S_OK;
}

// The shortest text of `value` with at most `maxDigits` significant digits that reads back equal.
// Whole numbers of fewer than `plainDigits` digits are written out in full ("1000", not
// "1e+03"); an exponent is written "E+20", "E-05".
template <typename T>
std::string ShortestText(T value, int maxDigits, int plainDigits) {
    constexpr std::size_t kRoomForAnyDouble = 512;  // %g of the largest double written out
    char text[kRoomForAnyDouble];
    int digits = 1;
    for (; digits <= maxDigits; ++digits) {
        std::snprintf(text, sizeof(text), "%.*g", digits, static_cast<double>(value));
        if (static_cast<T>(std::strtod(text, nullptr)) == value)
            break;
    }
    const double magnitude = std::fabs(static_cast<double>(value));
    if (magnitude >= 1.0 && std::isfinite(magnitude)) {
        const int integerDigits = static_cast<int>(std::floor(std::log10(magnitude))) + 1;
        if (integerDigits < plainDigits && integerDigits > digits)
            std::snprintf(text, sizeof(text), "%.*g", integerDigits, static_cast<double>(value));
    }
    for (char* c = text; *c != 0; ++c)
        if (*c == 'e')
            *c = 'E';
    return text;
}

std::optional<std::string> TextOf(const VARIANT& v, USHORT flags) {
    constexpr int kDoubleDigits = 17;
    constexpr int kFloatDigits = 9;
    constexpr int kDoublePlainDigits = 16;  // 15 digits written out, 1E+15 on
    constexpr int kFloatPlainDigits = 8;    // 7 digits written out, 1E+07 on
    HRESULT ignored = S_OK;
    switch (v.vt) {
        case VT_EMPTY:
            return std::string();
        case VT_BOOL:
            if (flags & VARIANT_ALPHABOOL)
                return std::string(v.boolVal != VARIANT_FALSE ? "True" : "False");
            return std::string(v.boolVal != VARIANT_FALSE ? "-1" : "0");
        case VT_R4:
            return ShortestText(v.fltVal, kFloatDigits, kFloatPlainDigits);
        case VT_R8:
            return ShortestText(v.dblVal, kDoubleDigits, kDoublePlainDigits);
        case VT_UI8:
            return std::to_string(v.ullVal);
        default: {
            auto n = ReadNumber(v, VT_BSTR, &ignored);
            if (!n || n->floating)
                return std::nullopt;
            return std::to_string(n->integer);
        }
    }
}

HRESULT ConvertNumber(const Number& n, VARTYPE vt, VARIANT* out) {
    out->vt = vt;
    switch (vt) {
        case VT_I1:
            return StoreInteger(n, &out->cVal);
        case VT_UI1:
            return StoreInteger(n, &out->bVal);
        case VT_I2:
            return StoreInteger(n, &out->iVal);
        case VT_UI2:
            return StoreInteger(n, &out->uiVal);
        case VT_I4:
            return StoreInteger(n, &out->lVal);
        case VT_INT:
            return StoreInteger(n, &out->intVal);
        case VT_UI4:
            return StoreInteger(n, &out->ulVal);
        case VT_UINT:
            return StoreInteger(n, &out->uintVal);
        case VT_I8:
            return StoreInteger(n, &out->llVal);
        case VT_UI8:
            return StoreUnsigned64(n, &out->ullVal);
        case VT_R8: {
            const double real = n.AsReal();
            if (!std::isfinite(real))
                return DISP_E_OVERFLOW;
            out->dblVal = real;
            return S_OK;
        }
        case VT_R4: {
            const double real = n.AsReal();
            if (!std::isfinite(real) || std::fabs(real) > FLT_MAX)
                return DISP_E_OVERFLOW;
            out->fltVal = static_cast<float>(real);
            return S_OK;
        }
        case VT_BOOL:
            out->boolVal = n.IsZero() ? VARIANT_FALSE : VARIANT_TRUE;
            return S_OK;
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

HRESULT ConvertInterface(const VARIANT& source, VARTYPE vt, VARIANT* out) {
    if (source.punkVal == nullptr) {
        out->vt = vt;
        out->punkVal = nullptr;
        return S_OK;
    }
    void* pointer = nullptr;
    const HRESULT status =
        source.punkVal->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &pointer);
    if (FAILED(status))
        return DISP_E_TYPEMISMATCH;
    out->vt = vt;
    out->byref = pointer;
    return S_OK;
}

// Converts a value that is not a reference into `vt`, writing a new variant into *out.
HRESULT Convert(const VARIANT& source, USHORT flags, VARTYPE vt, VARIANT* out) {
    VariantInit(out);
    if (vt == source.vt)
        return VariantCopy(out, &source);
    if (vt == VT_EMPTY)
        return S_OK;
    if (source.vt == VT_NULL || source.vt == VT_ERROR || vt == VT_NULL || vt == VT_ERROR)
        return DISP_E_TYPEMISMATCH;
    const bool sourceIsInterface = source.vt == VT_DISPATCH || source.vt == VT_UNKNOWN;
    if (vt == VT_DISPATCH || vt == VT_UNKNOWN)
        return sourceIsInterface ? ConvertInterface(source, vt, out) : DISP_E_TYPEMISMATCH;
    if (sourceIsInterface)
        return DISP_E_TYPEMISMATCH;
    if (vt == VT_BSTR) {
        auto text = TextOf(source, flags);
        if (!text)
            return DISP_E_TYPEMISMATCH;
        out->vt = VT_BSTR;
        out->bstrVal = com::AllocBstr(*text);
        return out->bstrVal != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT status = S_OK;
    auto number = ReadNumber(source, vt, &status);
    if (!number)
        return status;
    VARIANT converted;
    VariantInit(&converted);
    status = ConvertNumber(*number, vt, &converted);
    if (SUCCEEDED(status))
        *out = converted;
    return status;
}

}  // namespace

extern "C" {

void WINAPI VariantInit(VARIANT* pvarg) {
    pvarg->vt = VT_EMPTY;
    pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
    pvarg->llVal = 0;
}

HRESULT WINAPI VariantClear(VARIANT* pvarg) {
    if (pvarg == nullptr)
        return E_INVALIDARG;
    if (!IsKnownType(pvarg->vt))
        return DISP_E_BADVARTYPE;
    if ((pvarg->vt & VT_BYREF) == 0) {
        if (pvarg->vt == VT_BSTR)
            SysFreeString(pvarg->bstrVal);
        else if ((pvarg->vt == VT_DISPATCH || pvarg->vt == VT_UNKNOWN) && pvarg->punkVal != nullptr)
            pvarg->punkVal->Release();
    }
    VariantInit(pvarg);
    return S_OK;
}

HRESULT WINAPI VariantCopy(VARIANT* pvargDest, const VARIANT* pvargSrc) {
    if (pvargDest == nullptr || pvargSrc == nullptr)
        return E_INVALIDARG;
    if (pvargDest == pvargSrc)
        return S_OK;
    if (!IsKnownType(pvargSrc->vt))
        return DISP_E_BADVARTYPE;
    const HRESULT cleared = VariantClear(pvargDest);
    if (FAILED(cleared))
        return cleared;
    *pvargDest = *pvargSrc;
    if ((pvargSrc->vt & VT_BYREF) != 0)
        return S_OK;
    if (pvargSrc->vt == VT_BSTR && pvargSrc->bstrVal != nullptr) {
        // By bytes: a text made by SysAllocStringByteLen may hold an odd number of them.
        pvargDest->bstrVal = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(pvargSrc->bstrVal),
                                                   SysStringByteLen(pvargSrc->bstrVal));
        if (pvargDest->bstrVal == nullptr) {
            VariantInit(pvargDest);
            return E_OUTOFMEMORY;
        }
    } else if ((pvargSrc->vt == VT_DISPATCH || pvargSrc->vt == VT_UNKNOWN) &&
               pvargSrc->punkVal != nullptr) {
        pvargSrc->punkVal->AddRef();
    }
    return S_OK;
}

HRESULT WINAPI VariantCopyInd(VARIANT* pvarDest, const VARIANT* pvargSrc) {
    if (pvarDest == nullptr || pvargSrc == nullptr)
        return E_INVALIDARG;
    if ((pvargSrc->vt & VT_BYREF) == 0)
        return VariantCopy(pvarDest, pvargSrc);
    if (!IsKnownType(pvargSrc->vt) || pvargSrc->byref == nullptr)
        return DISP_E_BADVARTYPE;
    const VARTYPE type = pvargSrc->vt & VT_TYPEMASK;
    if (type == VT_VARIANT)
        return VariantCopyInd(pvarDest, pvargSrc->pvarVal);
    VARIANT value;
    VariantInit(&value);
    value.vt = type;
    switch (type) {
        case VT_I1:
        case VT_UI1:
            value.bVal = *static_cast<BYTE*>(pvargSrc->byref);
            break;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            value.iVal = *static_cast<SHORT*>(pvargSrc->byref);
            break;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_ERROR:
            value.lVal = *static_cast<LONG*>(pvargSrc->byref);
            break;
        case VT_I8:
        case VT_UI8:
        case VT_R8:
            value.llVal = *static_cast<LONGLONG*>(pvargSrc->byref);
            break;
        case VT_BSTR:
        case VT_DISPATCH:
        case VT_UNKNOWN:
            value.byref = *static_cast<void**>(pvargSrc->byref);
            break;
        default:
            break;
    }
    return VariantCopy(pvarDest, &value);  // copies the text or adds the reference
}

HRESULT WINAPI VariantChangeType(VARIANT* pvargDest, const VARIANT* pvarSrc, USHORT wFlags,
                                 VARTYPE vt) {
    if (pvargDest == nullptr || pvarSrc == nullptr)
        return E_INVALIDARG;
    if ((vt & VT_BYREF) != 0 || !IsKnownType(vt) || !IsKnownType(pvarSrc->vt))
        return DISP_E_BADVARTYPE;
    com::Variant value;
    HRESULT status = VariantCopyInd(&value, pvarSrc);
    if (FAILED(status))
        return status;
    VARIANT converted;
    status = Convert(value, wFlags, vt, &converted);
    if (FAILED(status))
        return status;
    VariantClear(pvargDest);
    *pvargDest = converted;
    return S_OK;
}

}  // extern "C"
