// Coercions of late-bound values, objects among them.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "uilang/automation.h"
#include "uilang/runtime_error.h"

namespace {

using namespace uilang;

TEST(AutomationValueTest, NumbersAndTextsCoerceAsTheRuntimeDoes) {
    EXPECT_EQ(ToShort(Value{2.5}), 2);
    EXPECT_EQ(ToShort(Value{std::string(" 12 ")}), 12);
    EXPECT_EQ(ToLong(Value{std::int16_t{-3}}), -3);
    EXPECT_FLOAT_EQ(ToSingle(Value{std::int32_t{100000}}), 100000.0f);
    EXPECT_DOUBLE_EQ(ToDouble(Value{true}), -1.0);
    EXPECT_TRUE(ToBool(Value{std::int32_t{5}}));
    EXPECT_EQ(ToText(Value{0.5}), "0.5");
    EXPECT_EQ(ToText(Value{std::int16_t{7}}), "7");
    EXPECT_EQ(ToText(Value{}), "");
    try {
        ToShort(Value{std::int32_t{40000}});
        ADD_FAILURE() << "40000 fit a short";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), kErrOverflow);
    }
    try {
        ToDouble(Value{std::string("MQ5120(00)")});
        ADD_FAILURE() << "a name became a number";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), kErrTypeMismatch);
    }
}

class Nothing final : public Automation {
  public:
    Value Get(std::int32_t, const Arguments&) override { return {}; }
    void Put(std::int32_t, const Value&, const Arguments&) override {}
    Value Call(std::int32_t, const Arguments&) override { return {}; }
};

std::int32_t ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const RuntimeError& error) {
        return error.Number();
    }
    return 0;
}

TEST(AutomationValueTest, AnObjectIsNoNumberOrTextAndOnlyAnObjectIsAnObject) {
    Object object = std::make_shared<Nothing>();
    EXPECT_EQ(ToObject(Value{object}), object);
    EXPECT_EQ(ErrorOf([&] { ToDouble(Value{object}); }), kErrTypeMismatch);
    EXPECT_EQ(ErrorOf([&] { ToText(Value{object}); }), kErrTypeMismatch);
    EXPECT_EQ(ErrorOf([] { ToObject(Value{std::int32_t{1}}); }), kErrTypeMismatch);
    EXPECT_EQ(ErrorOf([] { ToObject(Value{Object{}}); }), kErrObjectNotSet);
}

}  // namespace
