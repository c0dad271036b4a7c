// LoadString: truncation and terminator rules, missing strings, the module's own table only.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/module.h"
#include "win32/strings.h"

namespace {

const std::string kModuleDir = MQ_WIN32_TEST_MODULE_DIR;

class LoadStringTest : public ::testing::Test {
  protected:
    void SetUp() override {
        alpha_ = LoadLibraryA((kModuleDir + "/mqtest_alpha.dll").c_str());
        ASSERT_NE(alpha_, nullptr);
    }
    void TearDown() override {
        if (alpha_ != nullptr)
            FreeLibrary(alpha_);
    }
    HMODULE alpha_ = nullptr;
};

TEST_F(LoadStringTest, CopiesAtMostBufferMaxMinusOneAndTerminates) {
    struct Case {
        UINT id;
        int bufferMax;
        int copied;
        const char* text;
    };
    const Case cases[] = {
        {7, 100, 5, "seven"}, {7, 6, 5, "seven"}, {7, 5, 4, "seve"},     {7, 2, 1, "s"},
        {7, 1, 0, ""},        {0, 5, 4, "zero"},  {65535, 5, 4, "last"},
    };
    for (const Case& c : cases) {
        char buffer[128];
        std::memset(buffer, 'x', sizeof(buffer));
        EXPECT_EQ(LoadStringA(alpha_, c.id, buffer, c.bufferMax), c.copied)
            << c.id << "/" << c.bufferMax;
        EXPECT_STREQ(buffer, c.text) << c.id << "/" << c.bufferMax;
        EXPECT_EQ(buffer[c.bufferMax], 'x') << "wrote past the buffer";
    }
}

TEST_F(LoadStringTest, MissingStringsAndAZeroSizedBufferGiveZero) {
    char buffer[16];
    for (UINT missing : {8u, 100u /* empty text */}) {
        std::strcpy(buffer, "old");
        SetLastError(0);
        EXPECT_EQ(LoadStringA(alpha_, missing, buffer, sizeof(buffer)), 0);
        EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
        EXPECT_STREQ(buffer, "");
    }
    std::strcpy(buffer, "old");
    EXPECT_EQ(LoadStringA(alpha_, 7, buffer, 0), 0);
    EXPECT_STREQ(buffer, "old");

    // mqtest_beta has no table of its own; its dependency's table does not count.
    setenv("MQ_MODULE_PATH", kModuleDir.c_str(), 1);
    HMODULE beta = LoadLibraryA("mqtest_beta.dll");
    unsetenv("MQ_MODULE_PATH");
    ASSERT_NE(beta, nullptr);
    SetLastError(0);
    EXPECT_EQ(LoadStringA(beta, 7, buffer, sizeof(buffer)), 0);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_TRUE(FreeLibrary(beta));
}

}  // namespace
