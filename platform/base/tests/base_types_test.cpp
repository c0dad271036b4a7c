// The kernel's and the user-mode stand-ins' headers in one translation unit, on one set of base
// declarations: 16-bit wide characters, byte lengths of counted strings, and string values that
// cross between the two sides through the registry (UTF-16LE, the platform's sizes).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kernel/wdm.h"
#include "registry/testing.h"
#include "win32/fileio.h"
#include "win32/registry.h"
#include "win32/sync.h"

namespace {

static_assert(sizeof(WCHAR) == 2);
static_assert(CTL_CODE(FILE_DEVICE_UNKNOWN, 0x902, METHOD_BUFFERED, FILE_ANY_ACCESS) == 0x222408);

struct Counted {
    std::u16string text;
    UNICODE_STRING string;
    explicit Counted(std::u16string value) : text(std::move(value)) {
        RtlInitUnicodeString(&string, text.c_str());
    }
};

// A key of the kernel's side, below the machine's software key.
HANDLE CreateKernelKey(const std::u16string& path) {
    Counted name(u"\\Registry\\Machine\\Software\\" + path);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name.string, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                               nullptr, nullptr);
    HANDLE key = nullptr;
    EXPECT_EQ(ZwCreateKey(&key, KEY_ALL_ACCESS, &attributes, 0, nullptr, 0, nullptr),
              STATUS_SUCCESS);
    return key;
}

TEST(BaseTypes, CountedStringsCarryByteLengthsOfTwoBytesACharacter) {
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, u"MQ5120");
    EXPECT_EQ(name.Length, 12);
    EXPECT_EQ(name.MaximumLength, 14);
    WCHAR digits[4];
    UNICODE_STRING number{0, sizeof(digits), digits};
    ASSERT_EQ(RtlIntegerToUnicodeString(255, 16, &number), STATUS_SUCCESS);
    EXPECT_EQ(number.Length, 4);
    EXPECT_EQ(std::u16string(digits, 2), u"FF");
}

// A string value written by a driver is read by a program with the platform's sizes: 2 bytes a
// character on the kernel's side, 1 on the narrow user-mode side.
TEST(BaseTypes, RegistryTextCrossesBetweenTheSidesWithThePlatformsSizes) {
    registry::ScopedMachine machine;
    HANDLE key = CreateKernelKey(u"Marquell\\Crossing");
    const std::u16string text = u"MQ5120(00)";
    Counted value(u"MqHalcyonBoardName");
    const ULONG bytes = static_cast<ULONG>((text.size() + 1) * sizeof(WCHAR));
    ASSERT_EQ(ZwSetValueKey(key, &value.string, 0, REG_SZ, const_cast<WCHAR*>(text.c_str()), bytes),
              STATUS_SUCCESS);
    EXPECT_EQ(bytes, 22u);
    ZwClose(key);

    HKEY user = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Marquell\\Crossing", 0, KEY_READ, &user),
              ERROR_SUCCESS);
    char read[32] = {};
    DWORD size = sizeof(read);
    DWORD type = 0;
    ASSERT_EQ(RegQueryValueExA(user, "MqHalcyonBoardName", nullptr, &type,
                               reinterpret_cast<BYTE*>(read), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 11u);
    EXPECT_STREQ(read, "MQ5120(00)");
    RegCloseKey(user);
}

TEST(BaseTypes, InterlockedCallsAreTheOnesBothSidesUse) {
    LONG value = 5;
    EXPECT_EQ(InterlockedIncrement(&value), 6);
    EXPECT_EQ(InterlockedCompareExchange(&value, 9, 6), 6);
    EXPECT_EQ(InterlockedExchangeAdd(&value, 1), 9);
    LONGLONG wide = 1;
    EXPECT_EQ(InterlockedExchange64(&wide, 2), 1);
}

}  // namespace
