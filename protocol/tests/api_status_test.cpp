#include "hxda/api_status.h"

#include <gtest/gtest.h>

namespace {

using hxda::ApiStatus;

TEST(ApiStatusTest, LastErrorStandsAsTheStatusAndZeroIsAFailure) {
    constexpr std::uint32_t kAccessDenied = 5;
    EXPECT_EQ(ApiStatus::FromLastError(kAccessDenied).code(), kAccessDenied);
    EXPECT_EQ(ApiStatus::FromLastError(0), ApiStatus(HXGENERALFAILURE));
    EXPECT_TRUE(ApiStatus::FromLastError(0).failed());
    EXPECT_FALSE(ApiStatus(HXNOERROR));
    EXPECT_TRUE(ApiStatus(HXNOTSUPPORTED));
}

}  // namespace
