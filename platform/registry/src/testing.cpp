#include "registry/testing.h"

#include <stdlib.h>

#include <cstdlib>
#include <stdexcept>
#include <system_error>

#include "registry/machine.h"
#include "registry/store.h"

namespace registry {

ScopedMachine::ScopedMachine() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mq-machine-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    directory_ = pattern;
    if (const char* previous = std::getenv(kMachineVariable))
        previous_ = previous;
    setenv(kMachineVariable, directory_.c_str(), 1);
    ResetMachineStore();
}

ScopedMachine::~ScopedMachine() {
    ResetMachineStore();
    SetBusyTimeoutForTesting(kBusyTimeout);
    if (previous_) {
        setenv(kMachineVariable, previous_->c_str(), 1);
    } else {
        unsetenv(kMachineVariable);
    }
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

}  // namespace registry
