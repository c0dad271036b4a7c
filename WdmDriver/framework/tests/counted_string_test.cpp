// Counted strings and numbered names: capacity rules, the terminator always having room where the
// text is handed out, the 16-bit capacity limit, pool use under the driver's tag.
#include <gtest/gtest.h>

#include <string>

#include "framework/counted_string.h"
#include "framework/numbered_name.h"
#include "framework_testing.h"

namespace {

using wdm::CountedString;
using wdm::kCharBytes;
using wdm::kPoolTag;

class CountedStringTest : public wdm_test::PoolCheckedTest {};

std::u16string Text(const CountedString& string) {
    return std::u16string(string.Buffer(), string.Length() / kCharBytes);
}

TEST_F(CountedStringTest, MakeKeepsWholeCharactersAndRefusesImpossibleCapacities) {
    struct Case {
        ULONG asked;
        USHORT capacity;  // 0: no buffer
        NTSTATUS status;
    };
    const Case cases[] = {
        {0, 0, STATUS_INSUFFICIENT_RESOURCES},
        {kCharBytes - 1u, 0, STATUS_INSUFFICIENT_RESOURCES},
        {kCharBytes, kCharBytes, STATUS_SUCCESS},
        {3u * kCharBytes + 1u, 3 * kCharBytes, STATUS_SUCCESS},
        {CountedString::kMaxBytes, CountedString::kMaxBytes, STATUS_SUCCESS},
        {CountedString::kMaxBytes + 1u * kCharBytes, 0, STATUS_INSUFFICIENT_RESOURCES},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked);
        CountedString string;
        EXPECT_EQ(string.Make(c.asked, PagedPool), c.status);
        EXPECT_EQ(string.Capacity(), c.capacity);
        EXPECT_EQ(string.Buffer() != nullptr, c.capacity != 0);
        EXPECT_EQ(kernel::testing::PoolOutstanding(kPoolTag).allocations,
                  c.capacity != 0 ? 1u : 0u);
    }
}

TEST_F(CountedStringTest, CopyInRefusesTextAboveTheCapacityAndLeavesTheStringAlone) {
    CountedString string;
    ASSERT_EQ(string.Make(9 * kCharBytes, NonPagedPool), STATUS_SUCCESS);
    ASSERT_EQ(string.CopyFrom(u"short"), STATUS_SUCCESS);
    EXPECT_EQ(string.CopyFrom(u"0123456789"), STATUS_BUFFER_TOO_SMALL);  // 10 characters
    EXPECT_EQ(Text(string), u"short");
    EXPECT_EQ(string.Buffer()[5], u'\0');

    CountedString source;
    ASSERT_EQ(source.Make(10 * kCharBytes, PagedPool), STATUS_SUCCESS);
    ASSERT_EQ(source.CopyFrom(u"0123456789"), STATUS_SUCCESS);  // fills it: no terminator room
    EXPECT_EQ(string.CopyFrom(source), STATUS_BUFFER_TOO_SMALL);
    ASSERT_EQ(string.Grow(1, NonPagedPool), STATUS_SUCCESS);
    EXPECT_EQ(string.CopyFrom(source), STATUS_SUCCESS);
    EXPECT_EQ(Text(string), u"0123456789");
}

// The copy out needs the text and a whole terminator: a size one byte short of that is refused.
TEST_F(CountedStringTest, CopyOutNeedsRoomForTheTerminator) {
    CountedString string;
    ASSERT_EQ(string.Make(8 * kCharBytes, PagedPool), STATUS_SUCCESS);
    ASSERT_EQ(string.CopyFrom(u"abcd"), STATUS_SUCCESS);
    const SIZE_T text = 4 * kCharBytes;
    struct Case {
        SIZE_T size;
        NTSTATUS status;
    };
    for (const Case& c :
         {Case{text - 1, STATUS_BUFFER_TOO_SMALL}, Case{text, STATUS_BUFFER_TOO_SMALL},
          Case{text + 1, STATUS_BUFFER_TOO_SMALL},
          Case{text + kCharBytes - 1, STATUS_BUFFER_TOO_SMALL},
          Case{text + kCharBytes, STATUS_SUCCESS}}) {
        SCOPED_TRACE(c.size);
        WCHAR out[8];
        std::fill(std::begin(out), std::end(out), u'#');
        EXPECT_EQ(string.CopyTo(out, c.size), c.status);
        if (c.status == STATUS_SUCCESS)
            EXPECT_EQ(std::u16string(out), u"abcd");
        else
            EXPECT_EQ(out[0], u'#');
    }
}

TEST_F(CountedStringTest, GrowKeepsTheTextAndRefusesACapacityBeyondSixteenBits) {
    CountedString string;
    ASSERT_EQ(string.Make(4 * kCharBytes, PagedPool), STATUS_SUCCESS);
    ASSERT_EQ(string.CopyFrom(u"abcd"), STATUS_SUCCESS);
    ASSERT_EQ(string.Grow(2, PagedPool), STATUS_SUCCESS);
    EXPECT_EQ(string.Capacity(), 6 * kCharBytes);
    EXPECT_EQ(kernel::testing::PoolOutstanding(kPoolTag).allocations, 1u);  // the old one freed
    ASSERT_EQ(string.Append(u"ef"), STATUS_SUCCESS);
    EXPECT_EQ(Text(string), u"abcdef");

    // A result above the limit would wrap a 16-bit capacity: refused, nothing changed.
    const ULONG tooMany = (CountedString::kMaxBytes - string.Capacity()) / kCharBytes + 1;
    EXPECT_EQ(string.Grow(tooMany, PagedPool), STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(string.Grow(0x10000, PagedPool), STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(string.Capacity(), 6 * kCharBytes);
    EXPECT_EQ(Text(string), u"abcdef");
    EXPECT_EQ(string.Grow(tooMany - 1, PagedPool), STATUS_SUCCESS);
    EXPECT_EQ(string.Capacity(), CountedString::kMaxBytes);
    EXPECT_EQ(Text(string), u"abcdef");

    kernel::testing::FailPoolAllocation(1, kPoolTag);
    CountedString other;
    ASSERT_EQ(other.Make(2 * kCharBytes, PagedPool), STATUS_INSUFFICIENT_RESOURCES);
    ASSERT_EQ(other.Make(2 * kCharBytes, PagedPool), STATUS_SUCCESS);
    ASSERT_EQ(other.CopyFrom(u"xy"), STATUS_SUCCESS);
    kernel::testing::FailPoolAllocation(1, kPoolTag);
    EXPECT_EQ(other.Grow(1, PagedPool), STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(Text(other), u"xy");
    EXPECT_EQ(other.Capacity(), 2 * kCharBytes);
}

TEST_F(CountedStringTest, AttachedBuffersAreNeverFreedAndGrowingThemTakesOwnership) {
    WCHAR caller[4] = {u'#', u'#', u'#', u'#'};
    {
        CountedString string;
        string.Attach(caller, sizeof(caller));
        EXPECT_FALSE(string.Owned());
        EXPECT_EQ(caller[0], u'\0');
        ASSERT_EQ(string.Append(u"abc"), STATUS_SUCCESS);
        EXPECT_EQ(string.Append(u"de"), STATUS_BUFFER_TOO_SMALL);
        string.DropCharacters(1);
        EXPECT_EQ(Text(string), u"ab");
        string.DropCharacters(5);
        EXPECT_EQ(string.Length(), 0);
        ASSERT_EQ(string.Append(u"wxyz"), STATUS_SUCCESS);
        ASSERT_EQ(string.Grow(1, PagedPool), STATUS_SUCCESS);
        EXPECT_TRUE(string.Owned());
        EXPECT_NE(string.Buffer(), caller);
        EXPECT_EQ(Text(string), u"wxyz");
    }
    EXPECT_EQ(std::u16string(caller, 4), u"wxyz");
}

TEST_F(CountedStringTest, NumberedNamesHoldTheLongestNumberOfTheirRadix) {
    struct Case {
        ULONG number;
        ULONG radix;
        NTSTATUS status;
        const char16_t* name;
    };
    const Case cases[] = {
        {7, 10, STATUS_SUCCESS, u"\\Device\\MQ51207"},
        {1000, 10, STATUS_SUCCESS, u"\\Device\\MQ51201000"},
        {0xFFFFFFFFu, 10, STATUS_SUCCESS, u"\\Device\\MQ51204294967295"},
        {0xFFFFFFFFu, 16, STATUS_SUCCESS, u"\\Device\\MQ5120FFFFFFFF"},
        {0x2A, 16, STATUS_SUCCESS, u"\\Device\\MQ51202A"},
        {7, 8, STATUS_INVALID_PARAMETER, nullptr},
        {7, 0, STATUS_INVALID_PARAMETER, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        SCOPED_TRACE(c.radix);
        wdm::NumberedName name;
        EXPECT_EQ(name.Make(u"\\Device\\MQ5120", c.number, c.radix), c.status);
        if (c.name == nullptr) {
            EXPECT_EQ(name.Text(), nullptr);
            EXPECT_EQ(kernel::testing::PoolOutstanding(kPoolTag).allocations, 0u);
            continue;
        }
        EXPECT_EQ(std::u16string(name.Text()), c.name);  // terminated
        EXPECT_EQ(name.String()->Length, wdm::WideByteLength(c.name));
    }
}

TEST_F(CountedStringTest, PlainWideOperationsAreBoundedByTheDestination) {
    WCHAR buffer[6];
    EXPECT_EQ(wdm::WideCopy(buffer, sizeof(buffer), u"abc"), STATUS_SUCCESS);
    EXPECT_EQ(wdm::WideAppend(buffer, sizeof(buffer), u"de"), STATUS_SUCCESS);
    EXPECT_EQ(std::u16string(buffer), u"abcde");
    EXPECT_EQ(wdm::WideAppend(buffer, sizeof(buffer), u"f"), STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(wdm::WideCopy(buffer, 3 * kCharBytes, u"abc"), STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(std::u16string(buffer), u"abcde");
    EXPECT_EQ(wdm::WideLength(buffer), 5u);
    EXPECT_EQ(wdm::WideByteLength(buffer), 5u * kCharBytes);
}

}  // namespace
