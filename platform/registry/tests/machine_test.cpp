#include "registry/machine.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "registry/testing.h"

namespace registry {
namespace {

// Restores an environment variable at the end of a test.
class SavedVariable {
  public:
    explicit SavedVariable(const char* name) : name_(name) {
        if (const char* value = getenv(name))
            value_ = value;
    }
    ~SavedVariable() {
        if (value_) {
            setenv(name_, value_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
        ResetMachineDirectory();
    }

  private:
    const char* name_;
    std::optional<std::string> value_;
};

TEST(MachineDirectoryTest, NamedByTheVariableAndCreatedOnDemand) {
    ScopedMachine machine;
    const auto nested = machine.directory() / "nested" / "machine";
    SavedVariable saved(kMachineVariable);
    setenv(kMachineVariable, nested.c_str(), 1);
    ResetMachineDirectory();
    EXPECT_EQ(MachineDirectory(), nested);
    EXPECT_TRUE(std::filesystem::is_directory(nested));

    // The value is kept until the reset hook runs.
    setenv(kMachineVariable, machine.directory().c_str(), 1);
    EXPECT_EQ(MachineDirectory(), nested);
    ResetMachineDirectory();
    EXPECT_EQ(MachineDirectory(), machine.directory());
}

TEST(MachineDirectoryTest, DefaultsToThePerUserStateDirectory) {
    ScopedMachine machine;
    SavedVariable savedMachine(kMachineVariable);
    SavedVariable savedState("XDG_STATE_HOME");
    SavedVariable savedHome("HOME");
    unsetenv(kMachineVariable);

    setenv("XDG_STATE_HOME", machine.directory().c_str(), 1);
    ResetMachineDirectory();
    EXPECT_EQ(MachineDirectory(), machine.directory() / "mq-machine");

    unsetenv("XDG_STATE_HOME");
    setenv("HOME", machine.directory().c_str(), 1);
    ResetMachineDirectory();
    EXPECT_EQ(MachineDirectory(), machine.directory() / ".local" / "state" / "mq-machine");
    EXPECT_TRUE(std::filesystem::is_directory(MachineDirectory()));
}

}  // namespace
}  // namespace registry
