// Runs a helper executable as a child process with a bounded wait and collects its output.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace registry::testing {

struct ChildResult {
    int exitCode = -1;  // -1 when the child did not exit normally or was killed at the deadline
    std::string output;
};

ChildResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                     std::chrono::milliseconds timeout = std::chrono::seconds(60));

}  // namespace registry::testing
