// Counted-string calls: copy and append bounds, terminators, integer conversions both ways.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kernel/wdm.h"
#include "kernel/wide.h"

namespace {

// Bytes of n characters (WCHAR is the host's wide character).
constexpr USHORT Chars(int n) {
    return static_cast<USHORT>(n * sizeof(WCHAR));
}

// A counted string over a buffer with a sentinel behind its MaximumLength.
struct Buffer {
    WCHAR storage[40];
    UNICODE_STRING string;
    explicit Buffer(USHORT maximumBytes, const char16_t* initial = u"") {
        for (auto& c : storage)
            c = u'#';
        string.Buffer = storage;
        string.MaximumLength = maximumBytes;
        string.Length = static_cast<USHORT>(wcslen(initial) * sizeof(WCHAR));
        std::memcpy(storage, initial, string.Length);
    }
    std::u16string Text() const { return std::u16string(storage, string.Length / sizeof(WCHAR)); }
    WCHAR After() const { return storage[string.Length / sizeof(WCHAR)]; }
    bool SentinelIntact() const { return storage[string.MaximumLength / sizeof(WCHAR)] == u'#'; }
};

UNICODE_STRING Counted(const char16_t* text, USHORT characters) {
    UNICODE_STRING string;
    string.Buffer = const_cast<PWSTR>(text);
    string.Length = static_cast<USHORT>(characters * sizeof(WCHAR));
    string.MaximumLength = string.Length;
    return string;
}

TEST(RtlStrings, CopyTakesWhatFitsAndTerminatesWhenThereIsRoom) {
    struct Case {
        const char16_t* source;
        USHORT maximum;
        const char16_t* text;
        bool terminated;
    };
    const Case cases[] = {{u"hello", Chars(3), u"hel", false},
                          {u"hi", Chars(3), u"hi", true},
                          {u"abc", Chars(3), u"abc", false},
                          {u"abc", Chars(3) + 1, u"abc", false}};  // whole characters only
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "source " << kernel::NarrowFromWide(c.source) << ", "
                                        << c.maximum << " bytes");
        Buffer destination(c.maximum);
        UNICODE_STRING source = Counted(c.source, static_cast<USHORT>(wcslen(c.source)));
        RtlCopyUnicodeString(&destination.string, &source);
        EXPECT_EQ(destination.Text(), c.text);
        EXPECT_EQ(destination.After() == u'\0', c.terminated);
        EXPECT_TRUE(destination.SentinelIntact());
    }
    Buffer destination(Chars(5), u"old");
    RtlCopyUnicodeString(&destination.string, nullptr);
    EXPECT_EQ(destination.string.Length, 0);
}

TEST(RtlStrings, AppendRefusesWhatDoesNotFitAndLeavesTheStringUnchanged) {
    Buffer destination(Chars(5), u"ab");
    EXPECT_EQ(RtlAppendUnicodeToString(&destination.string, u"cd"), STATUS_SUCCESS);
    EXPECT_EQ(destination.Text(), u"abcd");
    EXPECT_EQ(destination.After(), u'\0');
    // A counted source is read by its length, not up to a terminator.
    UNICODE_STRING source = Counted(u"efgh", 1);
    EXPECT_EQ(RtlAppendUnicodeStringToString(&destination.string, &source), STATUS_SUCCESS);
    EXPECT_EQ(destination.Text(), u"abcde");  // exactly full: no room for a terminator
    EXPECT_TRUE(destination.SentinelIntact());
    EXPECT_EQ(RtlAppendUnicodeToString(&destination.string, u"f"), STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(RtlAppendUnicodeStringToString(&destination.string, &source),
              STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(destination.Text(), u"abcde");
    EXPECT_EQ(RtlAppendUnicodeToString(&destination.string, u""), STATUS_SUCCESS);
    EXPECT_TRUE(destination.SentinelIntact());
}

TEST(RtlStrings, IntegerToStringByBaseAndRoom) {
    struct Case {
        ULONG value;
        ULONG base;
        USHORT maximum;
        NTSTATUS status;
        const char16_t* text;  // for success
        bool terminated;
    };
    const Case cases[] = {
        {7, 10, Chars(4), STATUS_SUCCESS, u"7", true},
        {255, 16, Chars(4), STATUS_SUCCESS, u"FF", true},
        {0xABCDEF01, 16, Chars(10), STATUS_SUCCESS, u"ABCDEF01", true},
        {123, 0, Chars(4), STATUS_SUCCESS, u"123", true},
        {1234, 10, Chars(4), STATUS_SUCCESS, u"1234", false},
        {12345, 10, Chars(4), STATUS_BUFFER_OVERFLOW, nullptr, false},
        {5, 2, Chars(4), STATUS_SUCCESS, u"101", true},
        {8, 8, Chars(4), STATUS_SUCCESS, u"10", true},
        {0, 10, Chars(1), STATUS_SUCCESS, u"0", false},
        {1, 3, Chars(4), STATUS_INVALID_PARAMETER, nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " base " << c.base << " in " << c.maximum);
        Buffer string(c.maximum, u"x");
        EXPECT_EQ(RtlIntegerToUnicodeString(c.value, c.base, &string.string), c.status);
        EXPECT_EQ(string.Text(), c.text != nullptr ? c.text : u"x");
        if (c.text != nullptr) {
            EXPECT_EQ(string.After() == u'\0', c.terminated);
        }
        EXPECT_TRUE(string.SentinelIntact());
    }
}

TEST(RtlStrings, StringToIntegerReadsDigitsOfTheBase) {
    struct Case {
        const char16_t* text;
        USHORT characters;
        ULONG base;
        NTSTATUS status;
        ULONG value;
    };
    const Case cases[] = {
        {u"7", 1, 16, STATUS_SUCCESS, 7},
        {u"f", 1, 16, STATUS_SUCCESS, 15},
        {u"F", 1, 16, STATUS_SUCCESS, 15},
        {u"G", 1, 16, STATUS_INVALID_PARAMETER, 0},  // not a hex digit: the element is refused
        {u"", 0, 10, STATUS_INVALID_PARAMETER, 0},
        {u"  -12", 5, 10, STATUS_SUCCESS, 0xFFFFFFF4u},
        {u"+42x", 4, 10, STATUS_SUCCESS, 42},
        {u"0x1A", 4, 0, STATUS_SUCCESS, 26},
        {u"0b101", 5, 0, STATUS_SUCCESS, 5},
        {u"0o17", 4, 0, STATUS_SUCCESS, 15},
        {u"017", 3, 0, STATUS_SUCCESS, 17},
        {u"9", 1, 8, STATUS_INVALID_PARAMETER, 0},
        {u"10", 2, 7, STATUS_INVALID_PARAMETER, 0},
        {u"123", 1, 10, STATUS_SUCCESS, 1},  // only Length counts
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "\"" << kernel::NarrowFromWide(c.text) << "\" base " << c.base);
        UNICODE_STRING string = Counted(c.text, c.characters);
        ULONG value = 0xDEAD;
        EXPECT_EQ(RtlUnicodeStringToInteger(&string, c.base, &value), c.status);
        EXPECT_EQ(value, c.status == STATUS_SUCCESS ? c.value : 0xDEADu);
    }
}

}  // namespace

namespace {

// The run-time's formatting on 16-bit text, as the driver builds key paths and board names.
TEST(RunTimeStrings, FormatsNumbersAndWideStringsIntoTheGivenRoom) {
    WCHAR buffer[16];
    struct Case {
        int (*format)(WCHAR* buffer, SIZE_T count);
        SIZE_T count;
        const char16_t* text;
        int result;
    };
    const Case cases[] = {
        {[](WCHAR* b, SIZE_T n) { return swprintf(b, n, u"%ls\\%ls", u"Key", u"MQ5120"); }, 16,
         u"Key\\MQ5120", 10},
        {[](WCHAR* b, SIZE_T n) { return swprintf(b, n, u"%08X", 0xBEEFu); }, 16, u"0000BEEF", 8},
        {[](WCHAR* b, SIZE_T n) { return swprintf(b, n, u"%s(%02X)", u"MQ5120", 7u); }, 16,
         u"MQ5120(07)", 10},
        {[](WCHAR* b, SIZE_T n) { return swprintf(b, n, u"%0*X", 4, 0x2Au); }, 16, u"002A", 4},
        {[](WCHAR* b, SIZE_T n) { return swprintf(b, n, u"%04d|%d|%u%%", 7, -12, 3u); }, 16,
         u"0007|-12|3%", 11},
        {[](WCHAR* b, SIZE_T n) { return swprintf(b, n, u"%08X", 0x12345678u); }, 5, u"1234", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.format(buffer, c.count), c.result) << kernel::NarrowFromWide(c.text);
        EXPECT_EQ(std::u16string(buffer), c.text);
    }
}

TEST(RunTimeStrings, CopyComparesAndSearchesCountCharactersOfTwoBytes) {
    WCHAR padded[6];
    for (auto& c : padded)
        c = u'#';
    wcsncpy(padded, u"MQ", 5);
    EXPECT_EQ(std::u16string(padded, 6), std::u16string(u"MQ\0\0\0#", 6));
    EXPECT_EQ(wcslen(u"MQ5120"), 6u);
    EXPECT_EQ(wcsncmp(u"Marquell OEM", u"Marquell", 8), 0);
    EXPECT_LT(wcsncmp(u"MQ5120", u"MQ5130", 6), 0);
    PCWSTR text = u"MQ5120(00)";
    EXPECT_EQ(wcschr(text, u'('), text + 6);
    EXPECT_EQ(wcschr(text, u'X'), nullptr);
}

}  // namespace
