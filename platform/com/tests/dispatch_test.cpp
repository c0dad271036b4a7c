// Invoke over a member table: argument order and counts, named arguments, conversion, raised
// errors and read-only members.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "com/server/dispatch_table.h"
#include "com/server/object.h"

namespace {

using com::Variant;
using namespace com::server;

constexpr HRESULT kOwnError = 22013;

struct Gauge {
    double level = 0.0;
    std::vector<double> slots = std::vector<double>(4, 0.0);
    std::string label = "gauge";

    double GetLevel() { return level; }
    void SetLevel(double value) { level = value; }
    double GetSlot(SHORT index) {
        if (index < 0 || index >= 4)
            Raise(CTL_E_INVALIDPROPERTYVALUE, "Invalid Property Value");
        return slots[static_cast<std::size_t>(index)];
    }
    void SetSlot(SHORT index, double value) {
        GetSlot(index);
        slots[static_cast<std::size_t>(index)] = value;
    }
    std::string GetLabel() { return label; }
    LONG Scale(LONG value, double factor) { return static_cast<LONG>(value * factor); }
    void Fail() { Raise(kOwnError, "No such subsystem"); }
    bool IsHigh(SHORT index) { return slots[static_cast<std::size_t>(index)] > 1.0; }
};

const DispatchTable& GaugeTable() {
    static const DispatchTable table(
        IID_IDispatch, "Gauge",
        {
            ReadWrite<&Gauge::GetLevel, &Gauge::SetLevel>(1, "Level"),
            ReadWrite<&Gauge::GetSlot, &Gauge::SetSlot>(2, "Slot", {"index"}),
            ReadOnly<&Gauge::GetLabel>(3, "Label"),
            Method<&Gauge::Scale>(4, "Scale", {"value", "factor"}),
            Method<&Gauge::Fail>(5, "Fail"),
            ReadOnly<&Gauge::IsHigh>(6, "IsHigh", {"index"}),
        });
    return table;
}

class DispatchTableTest : public ::testing::Test {
  protected:
    // `args` in rgvarg order (the last argument first); they stay owned here during the call.
    HRESULT invoke(DISPID id, WORD flags, const std::vector<Variant>& owned, UINT named = 0,
                   std::vector<DISPID> namedIds = {}) {
        ClearExcepInfo(&exception);
        argumentError = 0xFFFF;
        result = Variant();
        std::vector<VARIANT> args(owned.begin(), owned.end());
        DISPPARAMS params{args.empty() ? nullptr : args.data(),
                          namedIds.empty() ? nullptr : namedIds.data(),
                          static_cast<UINT>(args.size()), named};
        return GaugeTable().Invoke(&gauge, id, flags, &params, &result, &exception, &argumentError,
                                   "GaugeServer");
    }
    HRESULT put(DISPID id, const std::vector<Variant>& argsReversed) {
        return invoke(id, DISPATCH_PROPERTYPUT, argsReversed, 1, {DISPID_PROPERTYPUT});
    }
    void TearDown() override { ClearExcepInfo(&exception); }

    Gauge gauge;
    Variant result;
    EXCEPINFO exception{};
    UINT argumentError = 0;
};

TEST_F(DispatchTableTest, PutTakesItsValueAsTheNamedArgumentConvertedToTheDeclaredType) {
    ASSERT_EQ(put(1, {Variant::Short(3)}), S_OK);
    EXPECT_EQ(gauge.level, 3.0);
    ASSERT_EQ(put(1, {Variant::Text("2.5")}), S_OK);
    EXPECT_EQ(gauge.level, 2.5);
    ASSERT_EQ(invoke(1, DISPATCH_PROPERTYGET, {}), S_OK);
    EXPECT_EQ(result.vt, VT_R8);
    EXPECT_EQ(result.dblVal, 2.5);
    // Forms runtimes read properties with the method and get flags together.
    ASSERT_EQ(invoke(1, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}), S_OK);
    EXPECT_EQ(result.dblVal, 2.5);
}

TEST_F(DispatchTableTest, IndexedPutHasTheValueFirstAndTheIndexAfterIt) {
    ASSERT_EQ(put(2, {Variant::Double(7.5), Variant::Long(2)}), S_OK);
    EXPECT_EQ(gauge.slots[2], 7.5);
    ASSERT_EQ(invoke(2, DISPATCH_PROPERTYGET, {Variant::Short(2)}), S_OK);
    EXPECT_EQ(result.dblVal, 7.5);
    ASSERT_EQ(invoke(6, DISPATCH_PROPERTYGET, {Variant::Short(2)}), S_OK);
    EXPECT_EQ(result.vt, VT_BOOL);
    EXPECT_EQ(result.boolVal, VARIANT_TRUE);
}

TEST_F(DispatchTableTest, MethodArgumentsArriveReversedAndMayBeNamed) {
    // Scale(value 10, factor 1.5): rgvarg holds the last argument first.
    ASSERT_EQ(invoke(4, DISPATCH_METHOD, {Variant::Double(1.5), Variant::Short(10)}), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 15);
    // factor named (DISPID 1 of its parameters), value by position.
    ASSERT_EQ(invoke(4, DISPATCH_METHOD, {Variant::Double(3.0), Variant::Long(4)}, 1, {1}), S_OK);
    EXPECT_EQ(result.lVal, 12);
    EXPECT_EQ(invoke(4, DISPATCH_METHOD, {Variant::Double(3.0), Variant::Long(4)}, 1, {7}),
              DISP_E_PARAMNOTFOUND);
}

TEST_F(DispatchTableTest, CallsThatDoNotFitTheMemberAreRefused) {
    struct Case {
        const char* what;
        DISPID id;
        WORD flags;
        std::vector<Variant> args;
        UINT named;
        std::vector<DISPID> namedIds;
        HRESULT status;
    };
    const Case cases[] = {
        {"unknown member", 99, DISPATCH_METHOD, {}, 0, {}, DISP_E_MEMBERNOTFOUND},
        {"put on a method",
         4,
         DISPATCH_PROPERTYPUT,
         {Variant::Long(1)},
         1,
         {DISPID_PROPERTYPUT},
         DISP_E_MEMBERNOTFOUND},
        {"too few arguments", 4, DISPATCH_METHOD, {Variant::Long(1)}, 0, {}, DISP_E_BADPARAMCOUNT},
        {"argument to a plain get",
         1,
         DISPATCH_PROPERTYGET,
         {Variant::Long(1)},
         0,
         {},
         DISP_E_BADPARAMCOUNT},
        {"indexed get without index", 2, DISPATCH_PROPERTYGET, {}, 0, {}, DISP_E_BADPARAMCOUNT},
        {"put without its named value",
         1,
         DISPATCH_PROPERTYPUT,
         {Variant::Long(1)},
         0,
         {},
         DISP_E_PARAMNOTOPTIONAL},
        {"no access flag", 1, 0, {}, 0, {}, DISP_E_MEMBERNOTFOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(invoke(c.id, c.flags, c.args, c.named, c.namedIds), c.status);
    }
}

TEST_F(DispatchTableTest, AnArgumentThatDoesNotConvertIsNamedByItsPosition) {
    EXPECT_EQ(invoke(4, DISPATCH_METHOD, {Variant::Double(1.0), Variant::Text("many")}),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argumentError, 1u);
    EXPECT_EQ(invoke(4, DISPATCH_METHOD, {Variant::Double(1.0), Variant::Double(1e12)}),
              DISP_E_OVERFLOW);
    EXPECT_EQ(argumentError, 1u);
    EXPECT_EQ(put(1, {Variant::Text("high")}), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argumentError, 0u);
    EXPECT_EQ(gauge.level, 0.0);
}

TEST_F(DispatchTableTest, RaisedErrorsBecomeExceptionsWithTheirTextAndSource) {
    ASSERT_EQ(invoke(5, DISPATCH_METHOD, {}), DISP_E_EXCEPTION);
    EXPECT_EQ(exception.wCode, 0);
    EXPECT_EQ(exception.scode, kOwnError);
    EXPECT_EQ(com::NarrowFromBstr(exception.bstrDescription), "No such subsystem");
    EXPECT_EQ(com::NarrowFromBstr(exception.bstrSource), "GaugeServer");
    EXPECT_EQ(exception.dwHelpContext, 0u);

    ASSERT_EQ(put(2, {Variant::Double(1.0), Variant::Short(9)}), DISP_E_EXCEPTION);
    EXPECT_EQ(exception.scode, CTL_E_INVALIDPROPERTYVALUE);

    ASSERT_EQ(put(3, {Variant::Text("renamed")}), DISP_E_EXCEPTION);
    EXPECT_EQ(exception.scode, CTL_E_SETNOTSUPPORTED);
    EXPECT_EQ(com::NarrowFromBstr(exception.bstrDescription), "Property is read-only");
    EXPECT_EQ(gauge.label, "gauge");

    // Without an EXCEPINFO the call still fails the same way.
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(GaugeTable().Invoke(&gauge, 5, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr,
                                  "GaugeServer"),
              DISP_E_EXCEPTION);
}

TEST_F(DispatchTableTest, NamesResolveWithoutRegardToCaseWithTheirParameters) {
    std::u16string member = u"sCALE", factor = u"Factor", wrong = u"speed";
    LPOLESTR names[] = {member.data(), factor.data(), wrong.data()};
    DISPID ids[3] = {};
    EXPECT_EQ(GaugeTable().GetIDsOfNames(names, 2, ids), S_OK);
    EXPECT_EQ(ids[0], 4);
    EXPECT_EQ(ids[1], 1);
    EXPECT_EQ(GaugeTable().GetIDsOfNames(names, 3, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[2], DISPID_UNKNOWN);
    LPOLESTR unknown[] = {wrong.data()};
    EXPECT_EQ(GaugeTable().GetIDsOfNames(unknown, 1, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);
}

TEST(TypeInfo, DescribesTheMembersOfTheTable) {
    Ref<ITypeInfo> info = Ref<ITypeInfo>::Adopt(NewInterfaceTypeInfo(GaugeTable()));
    UINT count = 0;
    ASSERT_EQ(info->GetMemberCount(&count), S_OK);
    EXPECT_EQ(count, 6u);
    MEMBERDESC member{};
    ASSERT_EQ(info->GetMember(3, &member), S_OK);
    EXPECT_EQ(member.memid, 4);
    EXPECT_EQ(std::u16string(member.name), u"Scale");
    EXPECT_EQ(member.invokeKinds, static_cast<DWORD>(INVOKE_FUNC));
    EXPECT_EQ(member.type, VT_I4);
    ASSERT_EQ(member.cParams, 2u);
    EXPECT_EQ(member.paramTypes[1], VT_R8);
    EXPECT_EQ(std::u16string(member.paramNames[1]), u"factor");
    ASSERT_EQ(info->GetMember(1, &member), S_OK);
    EXPECT_EQ(member.invokeKinds, static_cast<DWORD>(INVOKE_PROPERTYGET | INVOKE_PROPERTYPUT));
    EXPECT_EQ(info->GetMember(6, &member), TYPE_E_ELEMENTNOTFOUND);
}

}  // namespace
