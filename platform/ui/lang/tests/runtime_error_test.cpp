// The error object: numbers, sources and descriptions of raised errors.
#include <gtest/gtest.h>

#include "uilang/runtime_error.h"

namespace {

using namespace uilang;

TEST(RuntimeErrorTest, TheRuntimesOwnErrorsCarryTheirTextsAndTheApplicationAsSource) {
    SetErrorSource("Larkspur");
    const struct {
        std::int32_t number;
        const char* text;
    } cases[] = {
        {kErrOverflow, "Overflow"},
        {kErrDivisionByZero, "Division by zero"},
        {kErrTypeMismatch, "Type mismatch"},
        {kErrInvalidPropertyValue, "Invalid property value"},
    };
    for (const auto& c : cases) {
        try {
            Raise(c.number);
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.Number(), c.number);
            EXPECT_EQ(error.Source(), "Larkspur");
            EXPECT_EQ(error.Description(), c.text);
            EXPECT_STREQ(error.what(), c.text);
        }
    }
    SetErrorSource("");
}

TEST(RuntimeErrorTest, RaisedErrorsKeepTheirNumberSourceAndText) {
    RuntimeError error(static_cast<std::int32_t>(0x80040000u + 202), "FreeBuffer",
                       "Invalid buffer handle");
    EXPECT_EQ(error.Number(), -2147221504 + 202);
    EXPECT_EQ(error.Source(), "FreeBuffer");
    EXPECT_EQ(error.Description(), "Invalid buffer handle");
}

}  // namespace
