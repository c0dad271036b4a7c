#include "uilang/runtime_error.h"

#include <mutex>

namespace uilang {
namespace {

struct SourceName {
    std::mutex mutex;
    std::string text;
};

SourceName& DefaultSource() {
    static SourceName source;
    return source;
}

}  // namespace

RuntimeError::RuntimeError(std::int32_t number, std::string source, std::string description)
    : std::runtime_error(description),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

std::string RuntimeErrorText(std::int32_t number) {
    switch (number) {
        case kErrOverflow:
            return "Overflow";
        case kErrDivisionByZero:
            return "Division by zero";
        case kErrTypeMismatch:
            return "Type mismatch";
        case kErrObjectNotSet:
            return "Object variable or With block variable not set";
        case kErrInvalidPropertyValue:
            return "Invalid property value";
        case kErrCancel:
            return "Cancel was selected.";
        default:
            return "Application-defined or object-defined error";
    }
}

void SetErrorSource(std::string source) {
    SourceName& name = DefaultSource();
    std::lock_guard lock(name.mutex);
    name.text = std::move(source);
}

void Raise(std::int32_t number) {
    SourceName& name = DefaultSource();
    std::string source;
    {
        std::lock_guard lock(name.mutex);
        source = name.text;
    }
    throw RuntimeError(number, std::move(source), RuntimeErrorText(number));
}

}  // namespace uilang
