// Two processes on one machine: each sees the other's writes at once, and concurrent writers
// wait for each other instead of failing.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "child_process.h"
#include "registry/constants.h"
#include "registry/store.h"
#include "registry/testing.h"

namespace registry {
namespace {

using testing::RunChild;

std::vector<std::uint8_t> Dword(std::uint32_t value) {
    std::vector<std::uint8_t> bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}

class ProcessTest : public ::testing::Test {
  protected:
    KeyId Key(std::string_view path) {
        auto key = store_->CreateKey(store_->RootKey(Root::kLocalMachine), path);
        EXPECT_EQ(key.status, Status::kOk);
        return key.value.id;
    }

    ScopedMachine machine_;
    std::shared_ptr<Store> store_ = MachineStore();
};

TEST_F(ProcessTest, EachProcessSeesTheOthersWrites) {
    ASSERT_NE(store_, nullptr);
    const KeyId key = Key("Software\\Shared");
    ASSERT_EQ(store_->SetValue(key, "FromParent", REG_DWORD, Dword(1234)), Status::kOk);

    auto read = RunChild(MQ_REGISTRY_PEER, {"get", "SOFTWARE\\shared", "fromparent"});
    ASSERT_EQ(read.exitCode, 0);
    EXPECT_EQ(read.output, "1234\n");

    // The parent's open store and key see the child's write without reopening anything.
    ASSERT_EQ(RunChild(MQ_REGISTRY_PEER, {"set", "Software\\Shared", "FromChild", "77"}).exitCode,
              0);
    auto value = store_->QueryValue(key, "FromChild");
    ASSERT_EQ(value.status, Status::kOk);
    EXPECT_EQ(value.value.data, Dword(77));

    // A replaced value too.
    ASSERT_EQ(store_->SetValue(key, "FromParent", REG_DWORD, Dword(5)), Status::kOk);
    EXPECT_EQ(RunChild(MQ_REGISTRY_PEER, {"get", "Software\\Shared", "FromParent"}).output, "5\n");
}

TEST_F(ProcessTest, ConcurrentWritersInTwoProcessesLoseNothing) {
    ASSERT_NE(store_, nullptr);
    constexpr std::uint32_t kWrites = 60;
    const KeyId key = Key("Software\\Busy");
    testing::ChildResult child;
    std::thread runner([&] {
        child = RunChild(MQ_REGISTRY_PEER,
                         {"fill", "Software\\Busy", "child", std::to_string(kWrites)});
    });
    for (std::uint32_t i = 0; i < kWrites; ++i)
        EXPECT_EQ(store_->SetValue(key, "parent" + std::to_string(i), REG_DWORD, Dword(i)),
                  Status::kOk);
    runner.join();
    EXPECT_EQ(child.exitCode, 0);
    EXPECT_EQ(store_->QueryInfo(key).value.valueCount, 2 * kWrites);
}

}  // namespace
}  // namespace registry
