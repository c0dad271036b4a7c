// The running-object table: strong and weak registrations, the first registration of a class
// answering, revocation, and the failures.
#include <gtest/gtest.h>

#include "com/running_objects.h"

namespace {

const CLSID kClass = {
    0x6b1f0c2au, 0x51d3u, 0x4c7eu, {0x9a, 0x10, 0x3e, 0x44, 0x21, 0x7d, 0x0b, 0x95}};
const CLSID kOtherClass = {
    0x6b1f0c2bu, 0x51d3u, 0x4c7eu, {0x9a, 0x10, 0x3e, 0x44, 0x21, 0x7d, 0x0b, 0x95}};

// Counts its references; never deletes itself, so a test can read the count at any time.
class Counted final : public IUnknown {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid != IID_IUnknown) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    ULONG refs = 1;
};

TEST(RunningObjectsTest, StrongRegistrationHoldsAReferenceUntilRevokedWeakHoldsNone) {
    Counted strong, weak;
    DWORD strongToken = 0, weakToken = 0;
    ASSERT_EQ(RegisterActiveObject(&strong, kClass, ACTIVEOBJECT_STRONG, &strongToken), S_OK);
    ASSERT_EQ(RegisterActiveObject(&weak, kOtherClass, ACTIVEOBJECT_WEAK, &weakToken), S_OK);
    EXPECT_NE(strongToken, weakToken);
    EXPECT_EQ(strong.refs, 2u);
    EXPECT_EQ(weak.refs, 1u);

    IUnknown* found = nullptr;
    ASSERT_EQ(GetActiveObject(kOtherClass, nullptr, &found), S_OK);
    EXPECT_EQ(found, &weak);
    EXPECT_EQ(weak.refs, 2u);  // the caller's reference
    found->Release();

    EXPECT_EQ(RevokeActiveObject(strongToken, nullptr), S_OK);
    EXPECT_EQ(RevokeActiveObject(weakToken, nullptr), S_OK);
    EXPECT_EQ(strong.refs, 1u);
    EXPECT_EQ(weak.refs, 1u);
    EXPECT_EQ(GetActiveObject(kClass, nullptr, &found), MK_E_UNAVAILABLE);
    EXPECT_EQ(found, nullptr);
}

TEST(RunningObjectsTest, TheFirstRegistrationOfAClassAnswersUntilItIsRevoked) {
    Counted first, second;
    DWORD firstToken = 0, secondToken = 0;
    ASSERT_EQ(RegisterActiveObject(&first, kClass, ACTIVEOBJECT_WEAK, &firstToken), S_OK);
    ASSERT_EQ(RegisterActiveObject(&second, kClass, ACTIVEOBJECT_WEAK, &secondToken), S_OK);
    IUnknown* found = nullptr;
    ASSERT_EQ(GetActiveObject(kClass, nullptr, &found), S_OK);
    EXPECT_EQ(found, &first);
    found->Release();
    ASSERT_EQ(RevokeActiveObject(firstToken, nullptr), S_OK);
    ASSERT_EQ(GetActiveObject(kClass, nullptr, &found), S_OK);
    EXPECT_EQ(found, &second);
    found->Release();
    ASSERT_EQ(RevokeActiveObject(secondToken, nullptr), S_OK);
}

TEST(RunningObjectsTest, BadArgumentsAndUnknownTokensAreRefused) {
    Counted object;
    DWORD token = 0;
    EXPECT_EQ(RegisterActiveObject(nullptr, kClass, ACTIVEOBJECT_STRONG, &token), E_INVALIDARG);
    EXPECT_EQ(RegisterActiveObject(&object, kClass, ACTIVEOBJECT_STRONG, nullptr), E_INVALIDARG);
    EXPECT_EQ(object.refs, 1u);
    EXPECT_EQ(GetActiveObject(kClass, nullptr, nullptr), E_POINTER);
    ASSERT_EQ(RegisterActiveObject(&object, kClass, ACTIVEOBJECT_STRONG, &token), S_OK);
    EXPECT_EQ(RevokeActiveObject(token, nullptr), S_OK);
    EXPECT_EQ(RevokeActiveObject(token, nullptr), E_INVALIDARG);  // revoked once only
    EXPECT_EQ(object.refs, 1u);
}

}  // namespace
