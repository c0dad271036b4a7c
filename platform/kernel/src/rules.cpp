#include "kernel/rules.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace kernel {
namespace {
std::atomic<RuleViolationRecorder*> g_recorder{nullptr};
}

void ReportRuleViolation(std::string_view rule, std::string_view detail) {
    std::string message = "kernel rule violated: " + std::string(rule);
    if (!detail.empty())
        message += ": " + std::string(detail);
    if (RuleViolationRecorder* recorder = g_recorder.load()) {
        recorder->Record(std::move(message));
        return;
    }
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
    std::abort();
}

RuleViolationRecorder::RuleViolationRecorder() : previous_(g_recorder.exchange(this)) {}

RuleViolationRecorder::~RuleViolationRecorder() {
    g_recorder.store(previous_);
}

int RuleViolationRecorder::Count() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(messages_.size());
}

std::vector<std::string> RuleViolationRecorder::Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

bool RuleViolationRecorder::Saw(std::string_view text) const {
    std::lock_guard lock(mutex_);
    for (const auto& message : messages_)
        if (message.find(text) != std::string::npos)
            return true;
    return false;
}

void RuleViolationRecorder::Record(std::string message) {
    std::lock_guard lock(mutex_);
    messages_.push_back(std::move(message));
}

}  // namespace kernel
