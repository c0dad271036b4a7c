#include "registry/kernel_path.h"

#include <gtest/gtest.h>

namespace registry {
namespace {

TEST(KernelPathTest, MapsHivesOntoRoots) {
    struct Case {
        const char* kernelPath;
        Root root;
        const char* path;
    };
    const Case cases[] = {
        {"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\MQ5120k", Root::kLocalMachine,
         "System\\CurrentControlSet\\Services\\MQ5120k"},
        {"\\REGISTRY\\Machine\\HARDWARE\\DEVICEMAP", Root::kLocalMachine, "HARDWARE\\DEVICEMAP"},
        {"\\registry\\MACHINE", Root::kLocalMachine, ""},
        {"\\Registry\\User\\.DEFAULT\\Software", Root::kUsers, ".DEFAULT\\Software"},
        {"\\Registry\\User", Root::kUsers, ""},
    };
    for (const Case& c : cases) {
        auto mapped = MapKernelPath(c.kernelPath);
        ASSERT_EQ(mapped.status, Status::kOk) << c.kernelPath;
        EXPECT_EQ(mapped.value.root, c.root) << c.kernelPath;
        EXPECT_EQ(mapped.value.path, c.path) << c.kernelPath;
    }
}

TEST(KernelPathTest, RefusesMalformedAndForeignPaths) {
    struct Case {
        const char* kernelPath;
        Status status;
    };
    const Case cases[] = {
        {"\\Registry\\Machine\\\\System", Status::kInvalidName},
        {"\\Registry\\Machine\\System\\", Status::kInvalidName},
        {"\\\\Registry\\Machine", Status::kInvalidName},
        {"Registry\\Machine\\System", Status::kInvalidName},
        {"", Status::kInvalidName},
        {"\\Registry", Status::kNotFound},
        {"\\Registry\\Hive\\System", Status::kNotFound},
        {"\\Device\\MQ51200", Status::kNotFound},
        {"\\RegistryX\\Machine", Status::kNotFound},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MapKernelPath(c.kernelPath).status, c.status) << c.kernelPath;
}

}  // namespace
}  // namespace registry
