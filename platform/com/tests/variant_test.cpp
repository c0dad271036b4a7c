// VariantChangeType and the lifetime rules of VARIANT.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "com/dispatch.h"
#include "com/variant.h"

namespace {

using com::Variant;

struct Conversion {
    const char* what;
    Variant from;
    VARTYPE to;
    HRESULT status;
    double number;     // expected value of a numeric result
    const char* text;  // expected text of a BSTR result
};

double NumberOf(const VARIANT& v) {
    switch (v.vt) {
        case VT_I2:
            return v.iVal;
        case VT_I4:
            return v.lVal;
        case VT_UI1:
            return v.bVal;
        case VT_R4:
            return v.fltVal;
        case VT_R8:
            return v.dblVal;
        case VT_BOOL:
            return v.boolVal;
        default:
            return NAN;
    }
}

TEST(VariantChangeType, ConvertsAsTheFormsRuntimeNeeds) {
    const Conversion cases[] = {
        {"short to long", Variant::Short(-7), VT_I4, S_OK, -7, nullptr},
        {"long to short", Variant::Long(32767), VT_I2, S_OK, 32767, nullptr},
        {"long beyond short", Variant::Long(32768), VT_I2, DISP_E_OVERFLOW, 0, nullptr},
        {"negative into a byte", Variant::Short(-1), VT_UI1, DISP_E_OVERFLOW, 0, nullptr},
        {"double rounds half to even (down)", Variant::Double(2.5), VT_I2, S_OK, 2, nullptr},
        {"double rounds half to even (up)", Variant::Double(3.5), VT_I4, S_OK, 4, nullptr},
        {"negative half", Variant::Double(-2.5), VT_I2, S_OK, -2, nullptr},
        {"double beyond long", Variant::Double(3e9), VT_I4, DISP_E_OVERFLOW, 0, nullptr},
        {"double beyond float", Variant::Double(1e39), VT_R4, DISP_E_OVERFLOW, 0, nullptr},
        {"float to double", Variant::Single(0.5f), VT_R8, S_OK, 0.5, nullptr},
        {"nonzero to bool", Variant::Long(5), VT_BOOL, S_OK, VARIANT_TRUE, nullptr},
        {"zero to bool", Variant::Double(0.0), VT_BOOL, S_OK, VARIANT_FALSE, nullptr},
        {"bool to short", Variant::Bool(true), VT_I2, S_OK, -1, nullptr},
        {"number text", Variant::Text(" 42 "), VT_I2, S_OK, 42, nullptr},
        {"decimal text to long", Variant::Text("1.5"), VT_I4, S_OK, 2, nullptr},
        {"decimal text to double", Variant::Text("1e3"), VT_R8, S_OK, 1000, nullptr},
        {"text beyond short", Variant::Text("70000"), VT_I2, DISP_E_OVERFLOW, 0, nullptr},
        {"word text", Variant::Text("ten"), VT_I4, DISP_E_TYPEMISMATCH, 0, nullptr},
        {"empty text", Variant::Text(""), VT_I4, DISP_E_TYPEMISMATCH, 0, nullptr},
        {"true text", Variant::Text("True"), VT_BOOL, S_OK, VARIANT_TRUE, nullptr},
        {"empty to long", Variant(), VT_I4, S_OK, 0, nullptr},
        {"long to text", Variant::Long(-12), VT_BSTR, S_OK, 0, "-12"},
        {"double to text", Variant::Double(0.1), VT_BSTR, S_OK, 0, "0.1"},
        {"float to text", Variant::Single(0.1f), VT_BSTR, S_OK, 0, "0.1"},
        {"whole double to text", Variant::Double(1000.0), VT_BSTR, S_OK, 0, "1000"},
        {"fifteen digits to text", Variant::Double(1e14), VT_BSTR, S_OK, 0, "100000000000000"},
        {"large double to text", Variant::Double(1e15), VT_BSTR, S_OK, 0, "1E+15"},
        {"small double to text", Variant::Double(0.00001), VT_BSTR, S_OK, 0, "1E-05"},
        {"whole float to text", Variant::Single(250000.0f), VT_BSTR, S_OK, 0, "250000"},
        {"bool to text", Variant::Bool(true), VT_BSTR, S_OK, 0, "-1"},
        {"empty to text", Variant(), VT_BSTR, S_OK, 0, ""},
    };
    for (const Conversion& c : cases) {
        SCOPED_TRACE(c.what);
        Variant out = Variant::Short(99);
        EXPECT_EQ(VariantChangeType(&out, &c.from, 0, c.to), c.status);
        if (FAILED(c.status)) {
            EXPECT_EQ(out.vt, VT_I2);  // left as it was
            EXPECT_EQ(out.iVal, 99);
            continue;
        }
        EXPECT_EQ(out.vt, c.to);
        if (c.text != nullptr)
            EXPECT_EQ(com::NarrowFromBstr(out.bstrVal), c.text);
        else
            EXPECT_DOUBLE_EQ(NumberOf(out), c.number);
    }
}

TEST(VariantChangeType, NullAndTypesItCannotMakeAreRefused) {
    Variant null;
    null.vt = VT_NULL;
    Variant out;
    EXPECT_EQ(VariantChangeType(&out, &null, 0, VT_I4), DISP_E_TYPEMISMATCH);
    const Variant value = Variant::Long(1);
    EXPECT_EQ(VariantChangeType(&out, &value, 0, VT_I4 | VT_BYREF), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantChangeType(&out, &value, 0, 0x7F), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantChangeType(&out, &value, 0, VT_DISPATCH), DISP_E_TYPEMISMATCH);
    Variant alpha = Variant::Bool(false);
    EXPECT_EQ(VariantChangeType(&alpha, &alpha, VARIANT_ALPHABOOL, VT_BSTR), S_OK);
    EXPECT_EQ(com::NarrowFromBstr(alpha.bstrVal), "False");
}

TEST(VariantChangeType, ReadsThroughReferencesAndConvertsInPlace) {
    SHORT stored = 300;
    Variant reference;
    reference.vt = VT_I2 | VT_BYREF;
    reference.piVal = &stored;
    Variant out;
    ASSERT_EQ(VariantChangeType(&out, &reference, 0, VT_R8), S_OK);
    EXPECT_EQ(out.dblVal, 300.0);

    BSTR text = SysAllocString(u"12");
    Variant textReference;
    textReference.vt = VT_BSTR | VT_BYREF;
    textReference.pbstrVal = &text;
    ASSERT_EQ(VariantChangeType(&textReference, &textReference, 0, VT_I4), S_OK);
    EXPECT_EQ(textReference.vt, VT_I4);
    EXPECT_EQ(textReference.lVal, 12);
    EXPECT_EQ(SysStringLen(text), 2u);  // the caller's text is untouched and still the caller's
    SysFreeString(text);

    Variant inPlace = Variant::Text("2.25");
    ASSERT_EQ(VariantChangeType(&inPlace, &inPlace, 0, VT_R4), S_OK);
    EXPECT_FLOAT_EQ(inPlace.fltVal, 2.25f);  // the text was freed (the leak check would see it)
}

// An object that counts its references.
struct Counted final : IUnknown {
    ULONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown) {
            *ppv = this;
            ++refs;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

TEST(Variant, CopyAndClearOwnTextsAndReferences) {
    Counted object;
    {
        Variant held;
        held.vt = VT_UNKNOWN;
        held.punkVal = &object;
        object.AddRef();
        Variant copy(held);
        EXPECT_EQ(object.refs, 3u);
        Variant reference;
        reference.vt = VT_UNKNOWN | VT_BYREF;
        reference.byref = &held.punkVal;
        Variant dereferenced;
        ASSERT_EQ(VariantCopyInd(&dereferenced, &reference), S_OK);
        EXPECT_EQ(object.refs, 4u);
        EXPECT_EQ(VariantClear(&reference), S_OK);  // owns nothing
        EXPECT_EQ(object.refs, 4u);
    }
    EXPECT_EQ(object.refs, 1u);

    Variant text = Variant::Text("abc");
    Variant copy;
    ASSERT_EQ(VariantCopy(&copy, &text), S_OK);
    EXPECT_NE(copy.bstrVal, text.bstrVal);
    EXPECT_EQ(com::NarrowFromBstr(copy.bstrVal), "abc");
    // A text of bytes keeps its odd length, as a property bag's copies of it must.
    constexpr char kBytes[] = {1, 2, 3};
    Variant bytes;
    bytes.vt = VT_BSTR;
    bytes.bstrVal = SysAllocStringByteLen(kBytes, sizeof(kBytes));
    ASSERT_EQ(VariantCopy(&copy, &bytes), S_OK);
    ASSERT_EQ(SysStringByteLen(copy.bstrVal), sizeof(kBytes));
    EXPECT_EQ(std::memcmp(copy.bstrVal, kBytes, sizeof(kBytes)), 0);
    Variant unknown;
    unknown.vt = 0x7F;
    EXPECT_EQ(VariantClear(&unknown), DISP_E_BADVARTYPE);
    unknown.vt = VT_EMPTY;
}

}  // namespace
