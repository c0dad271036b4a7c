// Counted-string calls: copy and append bounds, terminators, integer conversions both ways.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kernel/wdm.h"

namespace {

// Bytes of n characters (WCHAR is the host's wide character).
constexpr USHORT Chars(int n) {
    return static_cast<USHORT>(n * sizeof(WCHAR));
}

// A counted string over a buffer with a sentinel behind its MaximumLength.
struct Buffer {
    WCHAR storage[40];
    UNICODE_STRING string;
    explicit Buffer(USHORT maximumBytes, const wchar_t* initial = L"") {
        for (auto& c : storage)
            c = L'#';
        string.Buffer = storage;
        string.MaximumLength = maximumBytes;
        string.Length = static_cast<USHORT>(std::wcslen(initial) * sizeof(WCHAR));
        std::memcpy(storage, initial, string.Length);
    }
    std::wstring Text() const { return std::wstring(storage, string.Length / sizeof(WCHAR)); }
    WCHAR After() const { return storage[string.Length / sizeof(WCHAR)]; }
    bool SentinelIntact() const { return storage[string.MaximumLength / sizeof(WCHAR)] == L'#'; }
};

UNICODE_STRING Counted(const wchar_t* text, USHORT characters) {
    UNICODE_STRING string;
    string.Buffer = const_cast<PWSTR>(text);
    string.Length = static_cast<USHORT>(characters * sizeof(WCHAR));
    string.MaximumLength = string.Length;
    return string;
}

TEST(RtlStrings, CopyTakesWhatFitsAndTerminatesWhenThereIsRoom) {
    struct Case {
        const wchar_t* source;
        USHORT maximum;
        const wchar_t* text;
        bool terminated;
    };
    const Case cases[] = {{L"hello", Chars(3), L"hel", false},
                          {L"hi", Chars(3), L"hi", true},
                          {L"abc", Chars(3), L"abc", false},
                          {L"abc", Chars(3) + 1, L"abc", false}};  // whole characters only
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "source " << c.source << ", " << c.maximum << " bytes");
        Buffer destination(c.maximum);
        UNICODE_STRING source = Counted(c.source, static_cast<USHORT>(std::wcslen(c.source)));
        RtlCopyUnicodeString(&destination.string, &source);
        EXPECT_EQ(destination.Text(), c.text);
        EXPECT_EQ(destination.After() == L'\0', c.terminated);
        EXPECT_TRUE(destination.SentinelIntact());
    }
    Buffer destination(Chars(5), L"old");
    RtlCopyUnicodeString(&destination.string, nullptr);
    EXPECT_EQ(destination.string.Length, 0);
}

TEST(RtlStrings, AppendRefusesWhatDoesNotFitAndLeavesTheStringUnchanged) {
    Buffer destination(Chars(5), L"ab");
    EXPECT_EQ(RtlAppendUnicodeToString(&destination.string, L"cd"), STATUS_SUCCESS);
    EXPECT_EQ(destination.Text(), L"abcd");
    EXPECT_EQ(destination.After(), L'\0');
    // A counted source is read by its length, not up to a terminator.
    UNICODE_STRING source = Counted(L"efgh", 1);
    EXPECT_EQ(RtlAppendUnicodeStringToString(&destination.string, &source), STATUS_SUCCESS);
    EXPECT_EQ(destination.Text(), L"abcde");  // exactly full: no room for a terminator
    EXPECT_TRUE(destination.SentinelIntact());
    EXPECT_EQ(RtlAppendUnicodeToString(&destination.string, L"f"), STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(RtlAppendUnicodeStringToString(&destination.string, &source),
              STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(destination.Text(), L"abcde");
    EXPECT_EQ(RtlAppendUnicodeToString(&destination.string, L""), STATUS_SUCCESS);
    EXPECT_TRUE(destination.SentinelIntact());
}

TEST(RtlStrings, IntegerToStringByBaseAndRoom) {
    struct Case {
        ULONG value;
        ULONG base;
        USHORT maximum;
        NTSTATUS status;
        const wchar_t* text;  // for success
        bool terminated;
    };
    const Case cases[] = {
        {7, 10, Chars(4), STATUS_SUCCESS, L"7", true},
        {255, 16, Chars(4), STATUS_SUCCESS, L"FF", true},
        {0xABCDEF01, 16, Chars(10), STATUS_SUCCESS, L"ABCDEF01", true},
        {123, 0, Chars(4), STATUS_SUCCESS, L"123", true},
        {1234, 10, Chars(4), STATUS_SUCCESS, L"1234", false},
        {12345, 10, Chars(4), STATUS_BUFFER_OVERFLOW, nullptr, false},
        {5, 2, Chars(4), STATUS_SUCCESS, L"101", true},
        {8, 8, Chars(4), STATUS_SUCCESS, L"10", true},
        {0, 10, Chars(1), STATUS_SUCCESS, L"0", false},
        {1, 3, Chars(4), STATUS_INVALID_PARAMETER, nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " base " << c.base << " in " << c.maximum);
        Buffer string(c.maximum, L"x");
        EXPECT_EQ(RtlIntegerToUnicodeString(c.value, c.base, &string.string), c.status);
        EXPECT_EQ(string.Text(), c.text != nullptr ? c.text : L"x");
        if (c.text != nullptr) {
            EXPECT_EQ(string.After() == L'\0', c.terminated);
        }
        EXPECT_TRUE(string.SentinelIntact());
    }
}

TEST(RtlStrings, StringToIntegerReadsDigitsOfTheBase) {
    struct Case {
        const wchar_t* text;
        USHORT characters;
        ULONG base;
        NTSTATUS status;
        ULONG value;
    };
    const Case cases[] = {
        {L"7", 1, 16, STATUS_SUCCESS, 7},
        {L"f", 1, 16, STATUS_SUCCESS, 15},
        {L"F", 1, 16, STATUS_SUCCESS, 15},
        {L"G", 1, 16, STATUS_INVALID_PARAMETER, 0},  // not a hex digit: the element is refused
        {L"", 0, 10, STATUS_INVALID_PARAMETER, 0},
        {L"  -12", 5, 10, STATUS_SUCCESS, 0xFFFFFFF4u},
        {L"+42x", 4, 10, STATUS_SUCCESS, 42},
        {L"0x1A", 4, 0, STATUS_SUCCESS, 26},
        {L"0b101", 5, 0, STATUS_SUCCESS, 5},
        {L"0o17", 4, 0, STATUS_SUCCESS, 15},
        {L"017", 3, 0, STATUS_SUCCESS, 17},
        {L"9", 1, 8, STATUS_INVALID_PARAMETER, 0},
        {L"10", 2, 7, STATUS_INVALID_PARAMETER, 0},
        {L"123", 1, 10, STATUS_SUCCESS, 1},  // only Length counts
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "\"" << c.text << "\" base " << c.base);
        UNICODE_STRING string = Counted(c.text, c.characters);
        ULONG value = 0xDEAD;
        EXPECT_EQ(RtlUnicodeStringToInteger(&string, c.base, &value), c.status);
        EXPECT_EQ(value, c.status == STATUS_SUCCESS ? c.value : 0xDEADu);
    }
}

}  // namespace
