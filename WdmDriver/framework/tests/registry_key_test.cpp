// Registry keys on a fresh machine: path joining and roots, typed values, string values that the
// store holds without a terminator, subkey enumeration.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/pool.h"
#include "framework/registry_key.h"
#include "framework_testing.h"
#include "kernel/wide.h"
#include "registry/testing.h"

namespace {

using wdm::kCharBytes;
using wdm::RegistryKey;
using wdm::RegistryRoot;

const char16_t kServices[] = u"\\Registry\\Machine\\System\\CurrentControlSet\\Services";

class RegistryKeyTest : public wdm_test::PoolCheckedTest {
  protected:
    void TearDown() override {
        EXPECT_EQ(kernel::testing::OpenKeyHandles(), 0u);
        PoolCheckedTest::TearDown();
    }

    // Whether an absolute path names an existing key.
    static bool Exists(const std::u16string& path) {
        RegistryKey key;
        return key.Open(path.c_str(), u"", KEY_READ, false) == STATUS_SUCCESS;
    }

    // Stores raw bytes as a REG_SZ value, as user mode may.
    static void StoreRaw(RegistryKey& key, const char16_t* name, const void* data, ULONG bytes) {
        UNICODE_STRING valueName;
        RtlInitUnicodeString(&valueName, name);
        ASSERT_EQ(
            ZwSetValueKey(key.Handle(), &valueName, 0, REG_SZ, const_cast<void*>(data), bytes),
            STATUS_SUCCESS);
    }

    registry::ScopedMachine machine_;
};

TEST_F(RegistryKeyTest, PathsJoinWithOneSeparatorAndCreateReportsItsDisposition) {
    struct Case {
        std::u16string parent;
        const char16_t* sub;
        std::u16string expected;
    };
    const std::u16string services = kServices;
    const Case cases[] = {
        {services, u"Mq5120k", services + u"\\Mq5120k"},
        {services + u"\\", u"Mq5120k\\Parameters", services + u"\\Mq5120k\\Parameters"},
        {services, u"\\Mq5120k\\Enum", services + u"\\Mq5120k\\Enum"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(kernel::NarrowFromWide(c.sub));
        RegistryKey key;
        EXPECT_EQ(key.Open(c.parent.c_str(), c.sub, KEY_ALL_ACCESS, true), STATUS_SUCCESS);
        EXPECT_EQ(key.Status(), STATUS_SUCCESS);
        EXPECT_EQ(key.Disposition(), ULONG{REG_CREATED_NEW_KEY});
        EXPECT_TRUE(Exists(c.expected));
        EXPECT_EQ(key.Open(c.parent.c_str(), c.sub, KEY_ALL_ACCESS, true), STATUS_SUCCESS);
        EXPECT_EQ(key.Disposition(), ULONG{REG_OPENED_EXISTING_KEY});
        EXPECT_EQ(kernel::testing::OpenKeyHandles(), 1u);  // the earlier handle was closed
    }

    // An empty sub path opens the parent; open does not create; the status is kept.
    RegistryKey key;
    EXPECT_EQ(key.Open((services + u"\\Mq5120k").c_str(), u"", KEY_READ, false), STATUS_SUCCESS);
    EXPECT_EQ(key.Open(services.c_str(), u"Missing", KEY_READ, false),
              STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(key.Status(), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(key.Handle(), nullptr);
    EXPECT_FALSE(Exists(services + u"\\Missing"));
}

TEST_F(RegistryKeyTest, RootsSelectTheirBranch) {
    RegistryKey key;
    ASSERT_EQ(key.Open(RegistryRoot::Control, u"MqTestDevice\\BoardDatabase", KEY_ALL_ACCESS, true),
              STATUS_SUCCESS);
    EXPECT_TRUE(
        Exists(u"\\Registry\\Machine\\System\\CurrentControlSet\\Control\\MqTestDevice"
               u"\\BoardDatabase"));
    ASSERT_EQ(key.Open(RegistryRoot::Services, u"Mq5120k", KEY_ALL_ACCESS, true), STATUS_SUCCESS);
    EXPECT_TRUE(Exists(std::u16string(kServices) + u"\\Mq5120k"));
    ASSERT_EQ(key.Open(RegistryRoot::DeviceMap, u"MqTest", KEY_ALL_ACCESS, true), STATUS_SUCCESS);
    EXPECT_TRUE(Exists(u"\\Registry\\Machine\\Hardware\\DeviceMap\\MqTest"));
    // A number outside the table gives no root: the sub path alone is no registry path.
    EXPECT_FALSE(
        NT_SUCCESS(key.Open(static_cast<RegistryRoot>(9), u"Mq5120k", KEY_ALL_ACCESS, true)));
    EXPECT_EQ(std::u16string(wdm::RegistryRootPath(static_cast<RegistryRoot>(0))), u"");
}

TEST_F(RegistryKeyTest, DwordValuesAreTyped) {
    RegistryKey key;
    ASSERT_EQ(key.Open(RegistryRoot::Services, u"Mq5120k", KEY_ALL_ACCESS, true), STATUS_SUCCESS);
    ASSERT_EQ(key.WriteDword(u"Count", 0x12345678), STATUS_SUCCESS);
    ASSERT_EQ(key.WriteString(u"Name", u"Board"), STATUS_SUCCESS);
    ULONG value = 0;
    EXPECT_EQ(key.QueryDword(u"Count", &value), STATUS_SUCCESS);
    EXPECT_EQ(value, 0x12345678u);
    value = 7;
    EXPECT_EQ(key.QueryDword(u"Name", &value), STATUS_OBJECT_TYPE_MISMATCH);
    EXPECT_EQ(key.QueryDword(u"Missing", &value), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(value, 7u);

    // The general query reports the type, the length, and the length needed when short.
    ULONG type = 0;
    UCHAR data[64];
    ULONG size = sizeof(data);
    EXPECT_EQ(key.QueryValue(u"Name", &type, &size, data), STATUS_SUCCESS);
    EXPECT_EQ(type, ULONG{REG_SZ});
    EXPECT_EQ(size, 6u * kCharBytes);
    size = 2;
    EXPECT_EQ(key.QueryValue(u"Name", &type, &size, data), STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(size, 6u * kCharBytes);
}

// String values come back terminated whatever the store holds; a given buffer must hold the text
// and its terminator.
TEST_F(RegistryKeyTest, StringValuesAreAlwaysTerminated) {
    RegistryKey key;
    ASSERT_EQ(key.Open(RegistryRoot::Services, u"Mq5120k", KEY_ALL_ACCESS, true), STATUS_SUCCESS);
    ASSERT_EQ(key.WriteString(u"Written", u"MQ5120 (00)"), STATUS_SUCCESS);
    const char16_t raw[] = {u'R', u'a', u'w', u'!'};
    StoreRaw(key, u"Unterminated", raw, sizeof(raw));
    ASSERT_EQ(key.WriteDword(u"Number", 1), STATUS_SUCCESS);

    struct Case {
        const char16_t* value;
        ULONG size;  // 0: allocate
        NTSTATUS status;
        const char16_t* text;
    };
    const ULONG written = 12 * kCharBytes;  // text and terminator
    const Case cases[] = {
        {u"Written", 0, STATUS_SUCCESS, u"MQ5120 (00)"},
        {u"Written", written, STATUS_SUCCESS, u"MQ5120 (00)"},
        {u"Written", written - 1, STATUS_BUFFER_OVERFLOW, nullptr},
        {u"Unterminated", 0, STATUS_SUCCESS, u"Raw!"},
        {u"Unterminated", 5 * kCharBytes, STATUS_SUCCESS, u"Raw!"},
        {u"Unterminated", sizeof(raw), STATUS_BUFFER_TOO_SMALL, nullptr},  // no terminator room
        {u"Number", 0, STATUS_OBJECT_TYPE_MISMATCH, nullptr},
        {u"Number", 8 * kCharBytes, STATUS_OBJECT_TYPE_MISMATCH, nullptr},
        {u"Missing", 0, STATUS_OBJECT_NAME_NOT_FOUND, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(kernel::NarrowFromWide(c.value) + " " + std::to_string(c.size));
        std::vector<WCHAR> given(16, u'#');
        PWSTR buffer = c.size == 0 ? nullptr : given.data();
        ULONG size = c.size;
        EXPECT_EQ(key.QueryString(c.value, &buffer, &size, PagedPool), c.status);
        if (c.text == nullptr) {
            EXPECT_EQ(kernel::testing::PoolOutstanding(wdm::kPoolTag).allocations, 0u);
            continue;
        }
        EXPECT_EQ(std::u16string(buffer), c.text);
        EXPECT_EQ(size, (wdm::WideLength(c.text) + 1) * kCharBytes);
        if (c.size == 0) {
            EXPECT_NE(buffer, given.data());
            wdm::PoolFree(buffer);
        }
    }
}

TEST_F(RegistryKeyTest, EnumerationWalksTheSubkeysWithTheirInformation) {
    RegistryKey database;
    ASSERT_EQ(
        database.Open(RegistryRoot::Control, u"MqTestDevice\\BoardDatabase", KEY_ALL_ACCESS, true),
        STATUS_SUCCESS);
    {
        RegistryKey child;
        ASSERT_EQ(child.Open(RegistryRoot::Control, u"MqTestDevice\\BoardDatabase\\0000000A",
                             KEY_ALL_ACCESS, true),
                  STATUS_SUCCESS);
        ASSERT_EQ(child.WriteString(u"MqHalcyonBoardName", u"MQ5120 (00)"), STATUS_SUCCESS);
        ASSERT_EQ(child.WriteDword(u"N", 1), STATUS_SUCCESS);
        ASSERT_EQ(child.Open(RegistryRoot::Control, u"MqTestDevice\\BoardDatabase\\0000000A\\Inner",
                             KEY_ALL_ACCESS, true),
                  STATUS_SUCCESS);
        ASSERT_EQ(child.Open(RegistryRoot::Control,
                             u"MqTestDevice\\BoardDatabase\\A-much-longer-key-name-than-the-buffer",
                             KEY_ALL_ACCESS, true),
                  STATUS_SUCCESS);
    }
    ASSERT_EQ(database.Open(RegistryRoot::Control, u"MqTestDevice\\BoardDatabase", KEY_READ, false),
              STATUS_SUCCESS);

    wdm::CountedString name;
    wdm::CountedString keyClass;
    ASSERT_EQ(name.Make(64 * kCharBytes, PagedPool), STATUS_SUCCESS);
    ASSERT_EQ(keyClass.Make(8 * kCharBytes, PagedPool), STATUS_SUCCESS);
    wdm::SubkeyInformation info;
    ASSERT_EQ(database.EnumerateNextSubkey(&name, &keyClass, &info), STATUS_SUCCESS);
    EXPECT_EQ(std::u16string(name.Buffer()), u"0000000A");
    EXPECT_EQ(keyClass.Length(), 0);
    EXPECT_EQ(info.nameLength, 8u * kCharBytes);
    EXPECT_EQ(info.subkeys, 1u);
    EXPECT_EQ(info.values, 2u);
    EXPECT_EQ(info.maxSubkeyNameLength, 5u * kCharBytes);
    EXPECT_EQ(info.maxValueNameLength, 18u * kCharBytes);
    EXPECT_EQ(info.maxValueDataLength, 12u * kCharBytes);

    ASSERT_EQ(database.EnumerateNextSubkey(&name, nullptr, &info), STATUS_SUCCESS);
    EXPECT_EQ(std::u16string(name.Buffer()), u"A-much-longer-key-name-than-the-buffer");
    EXPECT_EQ(info.subkeys, 0u);
    EXPECT_EQ(database.EnumerateNextSubkey(&name, nullptr, nullptr), STATUS_NO_MORE_ENTRIES);

    // A name string too small for its part; a new open starts again from the first subkey.
    wdm::CountedString small;
    ASSERT_EQ(small.Make(4 * kCharBytes, PagedPool), STATUS_SUCCESS);
    ASSERT_EQ(database.Open(RegistryRoot::Control, u"MqTestDevice\\BoardDatabase", KEY_READ, false),
              STATUS_SUCCESS);
    EXPECT_EQ(database.EnumerateNextSubkey(&small, nullptr, nullptr), STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(database.EnumerateNextSubkey(&name, nullptr, nullptr), STATUS_SUCCESS);
    EXPECT_EQ(std::u16string(name.Buffer()), u"A-much-longer-key-name-than-the-buffer");
}

TEST_F(RegistryKeyTest, NoMemoryForThePathOrTheValue) {
    RegistryKey key;
    kernel::testing::FailPoolAllocation(1, wdm::kPoolTag);
    EXPECT_EQ(key.Open(RegistryRoot::Services, u"Mq5120k", KEY_ALL_ACCESS, true),
              STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(key.Status(), STATUS_INSUFFICIENT_RESOURCES);
    ASSERT_EQ(key.Open(RegistryRoot::Services, u"Mq5120k", KEY_ALL_ACCESS, true), STATUS_SUCCESS);
    ASSERT_EQ(key.WriteString(u"Name", u"Board"), STATUS_SUCCESS);
    // The size probe, then the data record, then the caller's buffer.
    for (int nth = 1; nth <= 3; ++nth) {
        SCOPED_TRACE(nth);
        kernel::testing::FailPoolAllocation(nth, wdm::kPoolTag);
        PWSTR buffer = nullptr;
        ULONG size = 0;
        EXPECT_EQ(key.QueryString(u"Name", &buffer, &size, PagedPool),
                  STATUS_INSUFFICIENT_RESOURCES);
        EXPECT_EQ(buffer, nullptr);
        EXPECT_EQ(kernel::testing::PoolOutstanding(wdm::kPoolTag).allocations, 0u);
    }
}

}  // namespace
