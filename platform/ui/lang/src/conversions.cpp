#include "uilang/conversions.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "uilang/runtime_error.h"

namespace uilang {
namespace {

constexpr int kSingleDigits = 7;
constexpr int kDoubleDigits = 15;
constexpr int kFixedLowestExponent = -4;      // 1E-4 is the smallest magnitude in fixed notation
constexpr int kSingleFixedLimitExponent = 7;  // 1E7 and above: exponent notation
constexpr int kDoubleFixedLimitExponent = 15;
constexpr int kMinExponentDigits = 2;
constexpr int kHexBase = 16;
constexpr int kOctalBase = 8;
constexpr int kDecimalBase = 10;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int DigitValue(char c, int base) {
    int value = -1;
    if (IsDigit(c))
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + kDecimalBase;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + kDecimalBase;
    return value < base ? value : -1;
}

struct Scan {
    double value = 0;
    std::size_t end = 0;  // one past the last character read
    bool found = false;   // a number was read
};

std::size_t SkipBlanks(std::string_view text, std::size_t i) {
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    return i;
}

Scan ScanRadix(std::string_view text, std::size_t i, int base) {
    Scan scan;
    std::uint32_t bits = 0;
    while (i < text.size() && DigitValue(text[i], base) >= 0) {
        bits = bits * static_cast<std::uint32_t>(base) +
               static_cast<std::uint32_t>(DigitValue(text[i], base));
        scan.found = true;
        ++i;
    }
    scan.value = static_cast<std::int32_t>(bits);
    scan.end = i;
    return scan;
}

// Sign, digits, point, digits and an exponent, copied into a C-locale text for strtod.
Scan ScanDecimal(std::string_view text, std::size_t i) {
    Scan scan;
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        number += text[i++];
    bool digits = false;
    while (i < text.size() && IsDigit(text[i])) {
        number += text[i++];
        digits = true;
    }
    if (i < text.size() && text[i] == '.') {
        number += text[i++];
        while (i < text.size() && IsDigit(text[i])) {
            number += text[i++];
            digits = true;
        }
    }
    if (!digits)
        return scan;
    scan.found = true;
    scan.end = i;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            exponent += text[j++];
        bool exponentDigits = false;
        while (j < text.size() && IsDigit(text[j])) {
            exponent += text[j++];
            exponentDigits = true;
        }
        if (exponentDigits) {
            number += exponent;
            scan.end = j;
        }
    }
    scan.value = std::strtod(number.c_str(), nullptr);
    return scan;
}

Scan ScanNumber(std::string_view text) {
    std::size_t i = SkipBlanks(text, 0);
    if (i + 1 < text.size() && text[i] == '&') {
        char prefix = text[i + 1];
        if (prefix == 'H' || prefix == 'h')
            return ScanRadix(text, i + 2, kHexBase);
        if (prefix == 'O' || prefix == 'o')
            return ScanRadix(text, i + 2, kOctalBase);
    }
    return ScanDecimal(text, i);
}

// A number rounded to `significant` digits: its digits without trailing zeros, and the decimal
// exponent of the first digit.
struct Rounded {
    bool negative = false;
    std::string digits;  // "0" for zero
    int exponent = 0;
};

Rounded RoundTo(double value, int significant) {
    Rounded rounded;
    rounded.negative = std::signbit(value) && value != 0;
    char text[64];
    std::snprintf(text, sizeof text, "%.*e", significant - 1, std::fabs(value));
    // text is "d.ddddde+XX" (or "de+XX" for one digit).
    std::string_view view(text);
    std::size_t e = view.find('e');
    for (char c : view.substr(0, e))
        if (IsDigit(c))
            rounded.digits += c;
    rounded.exponent = std::atoi(text + e + 1);
    while (rounded.digits.size() > 1 && rounded.digits.back() == '0')
        rounded.digits.pop_back();
    if (rounded.digits == "0")
        rounded.exponent = 0;
    return rounded;
}

std::string FixedText(const Rounded& r, bool zeroBeforePoint) {
    std::string integer;
    std::string fraction;
    if (r.exponent >= 0) {
        std::size_t integerDigits = static_cast<std::size_t>(r.exponent) + 1;
        integer = r.digits.substr(0, std::min(integerDigits, r.digits.size()));
        integer.append(integerDigits > r.digits.size() ? integerDigits - r.digits.size() : 0, '0');
        if (r.digits.size() > integerDigits)
            fraction = r.digits.substr(integerDigits);
    } else {
        fraction = std::string(static_cast<std::size_t>(-r.exponent - 1), '0') + r.digits;
    }
    if (integer.empty() && zeroBeforePoint)
        integer = "0";
    return fraction.empty() ? integer : integer + "." + fraction;
}

std::string ExponentText(const Rounded& r) {
    std::string text = r.digits.substr(0, 1);
    if (r.digits.size() > 1)
        text += "." + r.digits.substr(1);
    std::string exponent = std::to_string(std::abs(r.exponent));
    if (exponent.size() < kMinExponentDigits)
        exponent.insert(0, kMinExponentDigits - exponent.size(), '0');
    return text + "E" + (r.exponent < 0 ? "-" : "+") + exponent;
}

std::string NumberText(double value, int significant, int fixedLimitExponent, bool leadingBlank) {
    Rounded r = RoundTo(value, significant);
    bool fixed =
        r.digits == "0" || (r.exponent >= kFixedLowestExponent && r.exponent < fixedLimitExponent);
    std::string body = fixed ? FixedText(r, !leadingBlank) : ExponentText(r);
    if (r.negative)
        return "-" + body;
    return leadingBlank ? " " + body : body;
}

double RoundHalfEven(double value) {
    return std::nearbyint(value);  // the default rounding mode rounds halves to even
}

}  // namespace

double Val(std::string_view text) {
    return ScanNumber(text).value;
}

bool IsNumeric(std::string_view text) {
    Scan scan = ScanNumber(text);
    return scan.found && SkipBlanks(text, scan.end) == text.size();
}

double CDbl(std::string_view text) {
    if (!IsNumeric(text))
        Raise(kErrTypeMismatch);
    return Val(text);
}

std::string Str(double value) {
    return NumberText(value, kDoubleDigits, kDoubleFixedLimitExponent, true);
}

std::string Str(float value) {
    return NumberText(value, kSingleDigits, kSingleFixedLimitExponent, true);
}

std::string CStr(double value) {
    return NumberText(value, kDoubleDigits, kDoubleFixedLimitExponent, false);
}

std::string CStr(float value) {
    return NumberText(value, kSingleDigits, kSingleFixedLimitExponent, false);
}

std::int16_t CInt(double value) {
    double rounded = RoundHalfEven(value);
    if (!(rounded >= std::numeric_limits<std::int16_t>::min() &&
          rounded <= std::numeric_limits<std::int16_t>::max()))
        Raise(kErrOverflow);
    return static_cast<std::int16_t>(rounded);
}

std::int32_t CLng(double value) {
    double rounded = RoundHalfEven(value);
    if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
          rounded <= std::numeric_limits<std::int32_t>::max()))
        Raise(kErrOverflow);
    return static_cast<std::int32_t>(rounded);
}

float CSng(double value) {
    if (std::isnan(value) || std::fabs(value) > FLT_MAX)
        Raise(kErrOverflow);
    return static_cast<float>(value);
}

std::string Hex(std::int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", static_cast<std::uint32_t>(value));
    return text;
}

std::string FormatZeroDotTwo(double value) {
    constexpr double kHundredths = 100.0;
    double hundredths = std::round(std::fabs(value) * kHundredths);  // halves away from zero
    bool negative = value < 0 && hundredths != 0;
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", hundredths / kHundredths);
    std::string result(text);
    while (result.back() == '0')
        result.pop_back();
    if (result.back() == '.')
        result.pop_back();
    return negative ? "-" + result : result;
}

}  // namespace uilang
