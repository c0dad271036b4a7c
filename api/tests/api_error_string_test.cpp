// Status texts through the exported lookup, with the table's own spelling and spacing.
#include <string>

#include "api_test_support.h"
#include "status/status_texts.h"

namespace hxda::test {
namespace {

std::string text(HXSTATUS status, UINT size = 256) {
    char buffer[256] = {};
    const char* result = hxDaGetErrorString(status, buffer, size);
    return result ? std::string(result) : std::string("<null>");
}

TEST(ErrorString, TextsAsTheTableHasThem) {
    EXPECT_EQ(text(0), "No Error");
    EXPECT_EQ(text(40), "Invalid Subsystem Handle");
    EXPECT_EQ(text(68), "Cannot enumerate this capability ");
    EXPECT_EQ(text(122), "Invalid count.  Count exceeds maximum # of scans of the CGL.");
    EXPECT_EQ(text(131), "Invalid combination of Index and X4Scaling\n");
    EXPECT_EQ(text(212), "Bufffer Not Locked");
    EXPECT_EQ(text(216), "Specififed IRQ in use");
    EXPECT_EQ(text(16487), "HXDRV_CONFIG");
    EXPECT_EQ(text(0x4000), "HXDRV_GETSSCAPS");
    EXPECT_EQ(text(0x4076), "HXDRV_GETSINGLEVALUES");
}

TEST(ErrorString, EveryTableTextComesThroughTheExport) {
    std::size_t count = 0;
    for (const StatusTextEntry& entry : StatusTextTable()) {
        SCOPED_TRACE(entry.id);
        EXPECT_EQ(text(entry.id), entry.text);
        ++count;
    }
    // 0-50, 60-131, 200-220 and the 100 message-code names.
    EXPECT_EQ(count, 51u + 72u + 21u + 100u);
}

TEST(ErrorString, UnknownStatusNeedsRoomForTheGenericText) {
    EXPECT_EQ(text(55, 64), "HX Unknown Error: 0x37");
    EXPECT_EQ(text(0xDEADBEEF, 64), "HX Unknown Error: 0xDEADBEEF");
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(hxDaGetErrorString(55, buffer, 38), nullptr);
    EXPECT_EQ(buffer[0], 'x');
}

TEST(ErrorString, TruncatesToTheBuffer) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(hxDaGetErrorString(20, buffer, 5), buffer);
    EXPECT_STREQ(buffer, "Subs");
    EXPECT_EQ(buffer[5], 'x');
    EXPECT_EQ(hxDaGetErrorString(20, nullptr, 5), nullptr);
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(hxDaGetErrorString(20, buffer, 0), nullptr);
    EXPECT_EQ(hxDaGetErrorString(55, buffer, 0), nullptr);
    EXPECT_EQ(buffer[0], 'x');
}

}  // namespace
}  // namespace hxda::test
