// The error object of the forms runtime: a raised error carries a number, a source and a
// description. Routines raise by throwing RuntimeError; "arming an error handler" is a try/catch
// in the routine. Numbers of the runtime's own errors are named below; automation errors of
// hosted controls and the library wrappers' errors keep the numbers they were raised with.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace uilang {

inline constexpr std::int32_t kErrOverflow = 6;
inline constexpr std::int32_t kErrDivisionByZero = 11;
inline constexpr std::int32_t kErrTypeMismatch = 13;
inline constexpr std::int32_t kErrObjectNotSet = 91;
inline constexpr std::int32_t kErrInvalidPropertyValue = 380;
// Raised by a common dialog whose CancelError is set when the user cancels.
inline constexpr std::int32_t kErrCancel = 32755;

class RuntimeError : public std::runtime_error {
  public:
    RuntimeError(std::int32_t number, std::string source, std::string description);

    std::int32_t Number() const { return number_; }
    const std::string& Source() const { return source_; }
    const std::string& Description() const { return description_; }

  private:
    std::int32_t number_;
    std::string source_;
    std::string description_;
};

// The runtime's text for one of its own error numbers ("Overflow", "Type mismatch", ...), or
// "Application-defined or object-defined error" for any other number.
std::string RuntimeErrorText(std::int32_t number);

// Throws the runtime's own error with its standard text; the source is the application's name
// as set by SetErrorSource (empty until set).
[[noreturn]] void Raise(std::int32_t number);
void SetErrorSource(std::string source);

}  // namespace uilang
