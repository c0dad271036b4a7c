// BSTR rules: counted length before the text, terminator after it, null as the empty text.
#include <gtest/gtest.h>

#include <cstring>

#include "com/bstr.h"

namespace {

TEST(Bstr, LengthIsCountedNotSearchedAndTheTextIsTerminated) {
    const OLECHAR withZero[] = {u'a', 0, u'b'};
    BSTR text = SysAllocStringLen(withZero, 3);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(SysStringLen(text), 3u);
    EXPECT_EQ(SysStringByteLen(text), 6u);
    EXPECT_EQ(text[1], 0);
    EXPECT_EQ(text[2], u'b');
    EXPECT_EQ(text[3], 0);  // terminator after the counted characters
    std::uint32_t prefix = 0;
    std::memcpy(&prefix, reinterpret_cast<const char*>(text) - sizeof(prefix), sizeof(prefix));
    EXPECT_EQ(prefix, 6u);
    SysFreeString(text);
}

TEST(Bstr, NullIsTheEmptyTextEverywhere) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);
    EXPECT_EQ(com::NarrowFromBstr(nullptr), "");
    BSTR zeroed = SysAllocStringLen(nullptr, 4);  // room left zero
    ASSERT_NE(zeroed, nullptr);
    EXPECT_EQ(SysStringLen(zeroed), 4u);
    EXPECT_EQ(zeroed[0], 0);
    SysFreeString(zeroed);
}

TEST(Bstr, ByteLengthsMayBeOddAndReallocationReplaces) {
    BSTR bytes = SysAllocStringByteLen("abc", 3);
    EXPECT_EQ(SysStringByteLen(bytes), 3u);
    EXPECT_EQ(SysStringLen(bytes), 1u);
    EXPECT_TRUE(SysReAllocString(&bytes, u"longer text"));
    EXPECT_EQ(SysStringLen(bytes), 11u);
    EXPECT_EQ(com::ViewOf(bytes), u"longer text");
    SysFreeString(bytes);
}

TEST(Bstr, NarrowTextsCrossTheBoundaryByteForByte) {
    com::Bstr text("MQ5120(00) \xB5");
    EXPECT_EQ(text.length(), 12u);
    EXPECT_EQ(text.get()[11], 0xB5);
    EXPECT_EQ(text.narrow(), "MQ5120(00) \xB5");
    const OLECHAR wide[] = {u'x', 0x263A, 0};
    com::Bstr outside = com::Bstr::Attach(SysAllocString(wide));
    EXPECT_EQ(outside.narrow(), "x?");
}

}  // namespace
