// Module loading: search path, shared instances and reference counts, export lookups.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/module.h"

namespace {

const std::string kModuleDir = MQ_WIN32_TEST_MODULE_DIR;

using Increment = LONG(WINAPI*)();
using Add = LONG(WINAPI*)(LONG, LONG);
using Load = HMODULE(WINAPI*)(LPCSTR);
using Plain = LONG (*)();

// Points MQ_MODULE_PATH at the test modules (or clears it) and restores it afterwards.
class ModulePathScope {
  public:
    explicit ModulePathScope(const char* value) {
        if (const char* old = std::getenv("MQ_MODULE_PATH"))
            saved_ = old;
        Set(value);
    }
    ~ModulePathScope() { Set(saved_ ? saved_->c_str() : nullptr); }
    static void Set(const char* value) {
        if (value != nullptr) {
            setenv("MQ_MODULE_PATH", value, 1);
        } else {
            unsetenv("MQ_MODULE_PATH");
        }
    }

  private:
    std::optional<std::string> saved_;
};

class ModuleLoaderTest : public ::testing::Test {
  protected:
    ModulePathScope path_{("/nonexistent/dir:" + kModuleDir).c_str()};
};

bool IsMapped(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr)
        return false;
    dlclose(handle);
    return true;
}

TEST_F(ModuleLoaderTest, EntriesResolveByNameDecoratedNameAndOrdinal) {
    HMODULE alpha = LoadLibraryA("mqtest_alpha.dll");
    ASSERT_NE(alpha, nullptr);
    auto add = reinterpret_cast<Add>(GetProcAddress(alpha, "_AlphaAdd@8"));
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(2, 40), 42);

    struct Case {
        LPCSTR name;
        FARPROC expected;
    };
    const FARPROC addEntry = reinterpret_cast<FARPROC>(add);
    const FARPROC undecorated = GetProcAddress(alpha, "AlphaUndecorated");
    ASSERT_NE(undecorated, nullptr);
    const Case cases[] = {
        {"AlphaAdd", addEntry},
        {MAKEINTRESOURCEA(2), addEntry},
        {"AlphaSum", addEntry},     // a second name of the same routine
        {"_AlphaSum@8", addEntry},  // ... decorated as well
        {MAKEINTRESOURCEA(5), addEntry},
        {MAKEINTRESOURCEA(3), undecorated},
        {"_AlphaAdd@4", nullptr},          // wrong argument bytes
        {"_AlphaUndecorated@0", nullptr},  // exported without a decorated form
        {"alphaadd", nullptr},             // names are case-sensitive
        {"_AlphaAdd@", nullptr},
        {"AlphaMissing", nullptr},
        {MAKEINTRESOURCEA(6), nullptr},
        {MAKEINTRESOURCEA(0), nullptr},
        {"_AlphaPlainSymbol@0", nullptr},  // a symbol without a table entry has no decoration
    };
    for (const Case& c : cases) {
        std::string label = IS_INTRESOURCE(c.name)
                                ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(c.name))
                                : std::string(c.name);
        SetLastError(0);
        EXPECT_EQ(GetProcAddress(alpha, c.name), c.expected) << label;
        if (c.expected == nullptr) {
            EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND) << label;
        }
    }

    // A plain name that is in no table falls back to the module's own dynamic symbols.
    auto plain = reinterpret_cast<Plain>(GetProcAddress(alpha, "AlphaPlainSymbol"));
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain(), 7);
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(alpha, "malloc"), nullptr);  // a dependency's symbol is not ours
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    EXPECT_TRUE(FreeLibrary(alpha));
}

TEST_F(ModuleLoaderTest, ADependencysTablesAreNotTakenForTheModulesOwn) {
    HMODULE beta = LoadLibraryA("mqtest_beta.dll");  // brings in mqtest_alpha as a dependency
    ASSERT_NE(beta, nullptr);
    for (LPCSTR name : {"_AlphaAdd@8", "AlphaAdd", "AlphaPlainSymbol",
                        static_cast<LPCSTR>(MAKEINTRESOURCEA(1))}) {
        SetLastError(0);
        EXPECT_EQ(GetProcAddress(beta, name), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    }
    auto betaPlain = reinterpret_cast<Plain>(GetProcAddress(beta, "BetaPlainSymbol"));
    ASSERT_NE(betaPlain, nullptr);
    EXPECT_EQ(betaPlain(), 8);
    EXPECT_TRUE(FreeLibrary(beta));
}

TEST_F(ModuleLoaderTest, ASecondLoadIsTheSameInstanceAndTheLastFreeUnloads) {
    HMODULE first = LoadLibraryA("mqtest_alpha.dll");
    HMODULE second = LoadLibraryA("MQTEST_ALPHA");  // bare name, other case
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(second, first);
    EXPECT_EQ(static_cast<ULONG_PTR>(reinterpret_cast<ULONG_PTR>(first)) >> 32, 0u);
    EXPECT_EQ(GetModuleHandleA("mqtest_alpha.DLL"), first);

    char path[512];
    ASSERT_GT(GetModuleFileNameA(first, path, sizeof(path)), 0u);
    EXPECT_EQ(std::string(path), kModuleDir + "/libmqtest_alpha.so");

    auto increment = reinterpret_cast<Increment>(GetProcAddress(first, MAKEINTRESOURCEA(1)));
    ASSERT_NE(increment, nullptr);
    EXPECT_EQ(increment(), 1);
    EXPECT_EQ(reinterpret_cast<Increment>(GetProcAddress(second, "_AlphaIncrement@0"))(), 2);

    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_TRUE(IsMapped(path));
    EXPECT_EQ(increment(), 3);  // still loaded: one reference is left

    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_FALSE(IsMapped(path));
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(first, path, sizeof(path)), 0u);  // the token is stale
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(GetProcAddress(first, "AlphaAdd"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_FALSE(FreeLibrary(first));
    EXPECT_EQ(GetModuleHandleA("mqtest_alpha.dll"), nullptr);

    // A fresh load starts with fresh globals.
    HMODULE again = LoadLibraryA("mqtest_alpha.dll");
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, first);
    EXPECT_EQ(reinterpret_cast<Increment>(GetProcAddress(again, "AlphaIncrement"))(), 1);
    EXPECT_TRUE(FreeLibrary(again));
}

TEST_F(ModuleLoaderTest, ModulesAreFoundOnThePathVariableAndNextToTheLoadingModule) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("mqtest_missing.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

    HMODULE alpha = LoadLibraryA("mqtest_alpha.dll");
    ASSERT_NE(alpha, nullptr);
    auto loadFromAlpha = reinterpret_cast<Load>(GetProcAddress(alpha, "_AlphaLoad@4"));
    ASSERT_NE(loadFromAlpha, nullptr);

    ModulePathScope noPath(nullptr);
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("mqtest_beta.dll"), nullptr);  // not beside the test program
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    HMODULE beta = loadFromAlpha("mqtest_beta.dll");  // beside mqtest_alpha
    ASSERT_NE(beta, nullptr);
    char path[512];
    ASSERT_GT(GetModuleFileNameA(beta, path, sizeof(path)), 0u);
    EXPECT_EQ(std::string(path), kModuleDir + "/libmqtest_beta.so");
    // A directory in the name is searched alone.
    HMODULE byPath = LoadLibraryA((kModuleDir + "\\mqtest_beta.dll").c_str());
    EXPECT_EQ(byPath, beta);
    EXPECT_TRUE(FreeLibrary(byPath));
    EXPECT_TRUE(FreeLibrary(beta));
    EXPECT_TRUE(FreeLibrary(alpha));
}

int AFunctionOfTheProgram() {
    return 0;
}

TEST_F(ModuleLoaderTest, TheProgramAndLinkedModulesHaveHandlesToo) {
    HMODULE program = GetModuleHandleA(nullptr);
    ASSERT_NE(program, nullptr);
    char path[512];
    ASSERT_GT(GetModuleFileNameA(nullptr, path, sizeof(path)), 0u);
    char expected[512] = {};
    ASSERT_GT(readlink("/proc/self/exe", expected, sizeof(expected) - 1), 0);
    EXPECT_STREQ(path, expected);

    HMODULE fromAddress = nullptr;
    ASSERT_TRUE(GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&AFunctionOfTheProgram), &fromAddress));
    EXPECT_EQ(fromAddress, program);

    // The services' own library, linked at build time, is found by name and by address.
    HMODULE services = GetModuleHandleA("platform_win32.dll");
    ASSERT_NE(services, nullptr);
    ASSERT_TRUE(GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&FreeLibrary), &fromAddress));
    EXPECT_EQ(fromAddress, services);
    char servicesPath[512];
    ASSERT_GT(GetModuleFileNameA(services, servicesPath, sizeof(servicesPath)), 0u);
    EXPECT_NE(std::string(servicesPath).find("libplatform_win32.so"), std::string::npos);

    // A path that does not fit is cut and terminated.
    char small[8];
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(services, small, sizeof(small)), sizeof(small));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::string(small), std::string(servicesPath).substr(0, sizeof(small) - 1));

    SetLastError(0);
    EXPECT_EQ(GetModuleHandleA("mqtest_not_loaded.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

}  // namespace
