#include "status/status_texts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "hxda/api_status.h"
#include "hxmem32.h"

namespace {

constexpr char kSentinel = '#';

struct CopyCase {
    uint32_t status;
    uint32_t size;
    const char* expected;  // nullptr: nullptr returned and the buffer left alone
};

// Every copy runs into a buffer larger than `size`, so that a write past `size` shows.
TEST(ErrorStringTest, CopyRule) {
    const CopyCase cases[] = {
        {20, 64, "Subsystem in use"},
        {20, 17, "Subsystem in use"},  // exactly the text and its zero
        {20, 16, "Subsystem in us"},
        {20, 5, "Subs"},
        {20, 1, ""},
        {20, 0, nullptr},  // nothing copied, and too small for the unknown text
        {0, 64, "No Error"},
        {16487, 64, "HXDRV_CONFIG"},
        {55, 64, "HX Unknown Error: 0x37"},
        {55, 39, "HX Unknown Error: 0x37"},
        {55, 38, nullptr},
        {0xFFFFFFFF, 39, "HX Unknown Error: 0xFFFFFFFF"},
        {0xABC, 100, "HX Unknown Error: 0xABC"},
    };
    for (const CopyCase& c : cases) {
        char buffer[128];
        std::memset(buffer, kSentinel, sizeof buffer);
        const char* result = hxda::CopyErrorString(c.status, buffer, c.size);
        const std::string what = std::to_string(c.status) + " into " + std::to_string(c.size);
        if (c.expected == nullptr) {
            EXPECT_EQ(result, nullptr) << what;
            for (char ch : buffer)
                ASSERT_EQ(ch, kSentinel) << what << ": buffer written";
            continue;
        }
        EXPECT_EQ(result, buffer) << what;
        EXPECT_STREQ(buffer, c.expected) << what;
        for (std::size_t i = c.size; i < sizeof buffer; ++i)
            ASSERT_EQ(buffer[i], kSentinel) << what << ": written past the size at " << i;
    }
    EXPECT_EQ(hxda::CopyErrorString(20, nullptr, 64), nullptr);
}

TEST(ErrorStringTest, TextsExistExactlyForTheirRanges) {
    struct Range {
        uint32_t first, last;
        bool hasText;
    };
    const Range ranges[] = {
        {0, 50, true},          {51, 59, false},
        {60, 131, true},        {132, 199, false},
        {200, 220, true},       {221, 16383, false},
        {0x4000, 0x404F, true}, {0x4050, 0x4062, false},
        {0x4063, 0x4076, true}, {0x4077, 0x10000, false},
    };
    std::size_t withText = 0;
    for (const Range& r : ranges) {
        for (uint32_t id = r.first; id <= r.last; ++id) {
            const char* text = hxda::FindStatusText(id);
            ASSERT_EQ(text != nullptr, r.hasText) << id;
            if (text != nullptr) {
                EXPECT_GT(std::strlen(text), 0u) << id;
                ++withText;
            }
        }
    }
    EXPECT_EQ(withText, hxda::StatusTextTable().size());
    EXPECT_EQ(hxda::FindStatusText(0xFFFFFFFF), nullptr);
}

TEST(ErrorStringTest, TextsKeepTheirSpellingAndSpacing) {
    const std::pair<uint32_t, const char*> samples[] = {
        {1, "Invalid capability specified"},
        {40, "Invalid Subsystem Handle"},
        {46, "Selected clock & trigger source may not be used together"},
        {68, "Cannot enumerate this capability "},
        {122, "Invalid count.  Count exceeds maximum # of scans of the CGL."},
        {125, "A General Failure has occurred, see manual for possible explanations."},
        {131, "Invalid combination of Index and X4Scaling\n"},
        {212, "Bufffer Not Locked"},
        {216, "Specififed IRQ in use"},
        {0x4000, "HXDRV_GETSSCAPS"},
        {0x404F, "HXDRV_SETQUADRATURE"},
        {0x4063, "HXDRV_NULL"},
        {0x4076, "HXDRV_GETSINGLEVALUES"},
    };
    for (const auto& [id, text] : samples) {
        ASSERT_NE(hxda::FindStatusText(id), nullptr) << id;
        EXPECT_STREQ(hxda::FindStatusText(id), text) << id;
    }
}

// The buffer manager keeps its own copy of the 200-220 texts; both must read the same.
TEST(ErrorStringTest, BufferManagerTextsAgree) {
    for (uint32_t status = 200; status <= 220; ++status) {
        char text[256];
        ASSERT_EQ(hxDmGetErrorString(status, text, sizeof text), 0u);
        EXPECT_STREQ(text, hxda::FindStatusText(status)) << status;
    }
}

TEST(StatusNameTest, NamesAsTheHeadersSpellThem) {
    using hxda::ApiStatus;
    struct Named {
        ApiStatus status;
        const char* name;
    };
    const Named named[] = {
        {HXNOERROR, "HXNOERROR"},
        {HXNOTSUPPORTED, "HXNOTSUPPORTED"},
        {HXBADRESOLUTION, "HXBADRESOLUTION"},
        {HXADTRIGGERERROR, "HXADTRIGGERERROR"},
        {HXINVALIDINDEXX4, "HXINVALIDINDEXX4"},
        {ApiStatus::FromCode(HXCANTALLOCBCB), "HXCANTALLOCBCB"},
        {ApiStatus::FromCode(HXNOTMULTIPLEOFTWO), "HXNOTMULTIPLEOFTWO"},
    };
    for (const auto& [status, name] : named) {
        ASSERT_NE(hxda::StatusName(status), nullptr) << name;
        EXPECT_STREQ(hxda::StatusName(status), name);
    }
    // Numbers that are no status, and the message codes, whose texts are names of their own.
    for (const std::uint32_t code : {51u, 59u, 132u, 199u, 221u, 0x4067u, 0xFFFFFFFFu})
        EXPECT_EQ(hxda::StatusName(ApiStatus::FromCode(code)), nullptr) << code;
    // Every status of the table has a name, every message code none.
    for (const hxda::StatusTextEntry& entry : hxda::StatusTextTable())
        EXPECT_EQ(entry.name != nullptr, entry.id < 0x4000) << entry.id;
}

}  // namespace
