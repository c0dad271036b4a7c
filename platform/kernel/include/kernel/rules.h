// Checks of the platform's rules for drivers (no waiting at DISPATCH_LEVEL, no recursive spin lock
// acquisition, IRQL raised and lowered in the right direction, no completion with a cancel routine
// set, ...). A broken rule on the real platform is a crash; here it is reported loudly.
//
// By default a violation prints "kernel rule violated: <rule>: <detail>" to stderr and aborts.
// A test that wants to see a violation installs a RuleViolationRecorder: while it lives,
// violations are counted and kept instead, and the offending call carries on as harmlessly as it
// can (a recursive acquire does not take the lock again, a wait at DISPATCH_LEVEL still waits).
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kernel {

void ReportRuleViolation(std::string_view rule, std::string_view detail = {});

class RuleViolationRecorder {
  public:
    RuleViolationRecorder();
    ~RuleViolationRecorder();
    RuleViolationRecorder(const RuleViolationRecorder&) = delete;
    RuleViolationRecorder& operator=(const RuleViolationRecorder&) = delete;

    int Count() const;
    std::vector<std::string> Messages() const;
    // True when a recorded message contains text.
    bool Saw(std::string_view text) const;

    void Record(std::string message);

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
    RuleViolationRecorder* previous_;
};

}  // namespace kernel
