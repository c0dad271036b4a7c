// The memory property bag: values by name, converted on the way out, errors logged; and the
// task-memory texts of predefined-string lists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "com/browsing.h"
#include "com/persist.h"
#include "com/runtime.h"
#include "com/server/object.h"

namespace {

using com::Variant;
using com::server::Ref;

class Log final : public IErrorLog {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IErrorLog) {
            *ppv = static_cast<IErrorLog*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE AddError(LPCOLESTR name, EXCEPINFO* error) override {
        names.emplace_back(name);
        codes.push_back(error->scode);
        return S_OK;
    }
    std::vector<std::u16string> names;
    std::vector<SCODE> codes;
};

class PropertyBag : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(com::CreateMemoryPropertyBag(bag.out()), S_OK); }
    Ref<IPropertyBag> bag;
};

TEST_F(PropertyBag, ReadsAnswerTheStoredTypeOrTheOneAskedFor) {
    Variant text = Variant::Text("250");
    ASSERT_EQ(bag->Write(u"Frequency", &text), S_OK);
    Variant stored;
    ASSERT_EQ(bag->Read(u"frequency", &stored, nullptr), S_OK);
    ASSERT_EQ(stored.vt, VT_BSTR);
    EXPECT_EQ(com::NarrowFromBstr(stored.bstrVal), "250");
    EXPECT_NE(stored.bstrVal, text.bstrVal) << "the reader owns its own copy";

    Variant asShort;
    asShort.vt = VT_I2;
    ASSERT_EQ(bag->Read(u"FREQUENCY", &asShort, nullptr), S_OK);
    EXPECT_EQ(asShort.vt, VT_I2);
    EXPECT_EQ(asShort.iVal, 250);

    Variant replaced = Variant::Double(0.5);
    ASSERT_EQ(bag->Write(u"FREQUENCY", &replaced), S_OK);
    Variant again;
    ASSERT_EQ(bag->Read(u"Frequency", &again, nullptr), S_OK);
    EXPECT_EQ(again.vt, VT_R8);
    EXPECT_EQ(again.dblVal, 0.5);
}

TEST_F(PropertyBag, MissingNamesAndFailedConversionsLeaveTheVariantAndLogTheFailure) {
    Variant text = Variant::Text("not a number");
    ASSERT_EQ(bag->Write(u"Board", &text), S_OK);
    Log log;
    Variant asLong;
    asLong.vt = VT_I4;
    asLong.lVal = 17;
    EXPECT_EQ(bag->Read(u"Board", &asLong, &log), E_FAIL);
    EXPECT_EQ(asLong.vt, VT_I4);
    EXPECT_EQ(asLong.lVal, 17);
    ASSERT_EQ(log.names.size(), 1u);
    EXPECT_EQ(log.names[0], u"Board");
    EXPECT_EQ(log.codes[0], DISP_E_TYPEMISMATCH);
    EXPECT_EQ(bag->Read(u"Caption", &asLong, &log), E_INVALIDARG);
    EXPECT_EQ(log.names.size(), 1u) << "a missing name is not logged";
    EXPECT_EQ(bag->Read(nullptr, &asLong, nullptr), E_POINTER);
}

TEST_F(PropertyBag, AWriteThroughAReferenceStoresTheValueItPointsAt) {
    SHORT value = 4;
    Variant reference;
    reference.vt = VT_I2 | VT_BYREF;
    reference.piVal = &value;
    ASSERT_EQ(bag->Write(u"SSType", &reference), S_OK);
    value = 5;
    Variant stored;
    ASSERT_EQ(bag->Read(u"SSType", &stored, nullptr), S_OK);
    EXPECT_EQ(stored.vt, VT_I2);
    EXPECT_EQ(stored.iVal, 4);
}

TEST(TaskTexts, PredefinedListsAreTaskMemoryTheReceiverFrees) {
    CALPOLESTR strings{2, static_cast<LPOLESTR*>(CoTaskMemAlloc(2 * sizeof(LPOLESTR)))};
    strings.pElems[0] = com::AllocTaskText("0 - Binary");
    strings.pElems[1] = com::AllocTaskText("");
    CADWORD cookies{2, static_cast<DWORD*>(CoTaskMemAlloc(2 * sizeof(DWORD)))};
    EXPECT_EQ(std::u16string(strings.pElems[0]), u"0 - Binary");
    EXPECT_EQ(strings.pElems[1][0], 0);
    com::FreePredefined(&strings, &cookies);  // the sanitizers see a leak or a double free
    EXPECT_EQ(strings.cElems, 0u);
    EXPECT_EQ(strings.pElems, nullptr);
    EXPECT_EQ(cookies.pElems, nullptr);
}

}  // namespace
