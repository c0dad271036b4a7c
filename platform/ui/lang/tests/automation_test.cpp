// Coercions of late-bound values.
#include <gtest/gtest.h>

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

}  // namespace
