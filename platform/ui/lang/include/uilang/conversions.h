// Number conversions of the forms runtime, independent of the host's locale: "." is always the
// decimal point.
//
// Number texts come in two forms. The leading-blank form (Str) puts a blank before a
// non-negative number and no zero before the decimal point (0.1 is " .1"); the plain form (CStr)
// has neither blank nor missing zero (0.1 is "0.1"). Both drop trailing zeros and a trailing
// point, and keep at most 7 significant digits for a single and 15 for a double. A number is
// written in fixed notation when its magnitude, rounded to those digits, is at least 1E-4 and
// below 1E7 (single) or 1E15 (double); otherwise as mantissa, "E", sign and at least two
// exponent digits: 1E-05, 1.5E+20.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace uilang {

// The leading number of a text: blanks skipped, an optional sign, digits with "." as the decimal
// point and an optional exponent ("E" or "D", optional sign, digits); or "&H" hexadecimal and
// "&O" octal digits, read as a 32-bit two's-complement value (&HFFFFFFFF is -1). Reading stops
// at the first other character; 0 when there is no number.
double Val(std::string_view text);

// True when the whole text, blanks around it aside, is one number as Val reads it.
bool IsNumeric(std::string_view text);
// The number a text holds; raises 13 (type mismatch) when it holds anything else.
double CDbl(std::string_view text);

std::string Str(double value);
std::string Str(float value);
std::string CStr(double value);
std::string CStr(float value);

// Rounding to the nearest integer, halves to even; 6 (overflow) when the result does not fit.
std::int16_t CInt(double value);
std::int32_t CLng(double value);
// Rounds to single precision; 6 when the value is beyond the single's range.
float CSng(double value);

// Upper-case hexadecimal digits of the value's 32-bit two's-complement form, no prefix:
// Hex(255) is "FF", Hex(-1) is "FFFFFFFF".
std::string Hex(std::int32_t value);

// The format "0.##": at least one integer digit, at most two decimals (halves away from zero),
// trailing zeros and a trailing point dropped: 3.14159 is "3.14", 2.5 is "2.5", 7 is "7".
std::string FormatZeroDotTwo(double value);

}  // namespace uilang
