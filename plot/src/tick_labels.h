// Tick labels and the spacing of ticks along an axis.
#pragma once

#include <cstddef>
#include <optional>

namespace plot32 {

// Labels are formatted into kLabelChars characters (NUL included) to be drawn, and into
// kMeasureChars to be measured; longer texts are cut.
inline constexpr std::size_t kLabelChars = 80;
inline constexpr std::size_t kMeasureChars = 40;

// The value with `decimals` decimals, rounded half up on its magnitude: a "-" for a negative value
// (or one that is not a number), the integer digits ("0" below 1), then for decimals other than 0
// a "." and, for positive decimals, that many digits. A value that is not a number or infinite has
// no digits ("-", "" or "-"). Writes at most size - 1 characters and a NUL; nothing for size 0.
void FormatTickLabel(double value, int decimals, char* text, std::size_t size);

enum class TickDirection { Horizontal, Vertical };

struct TickStride {
    double multiplier;  // ticks are multiplier x step apart: a whole number, 1 or more
    double first;       // the first tick's value
    double last;        // no tick lies past it
};

// The first and last tick of an axis from min to max with the given step, its scale in logical
// units per data unit, and the fewest steps between ticks that leave room for a label: along x a
// character more than the longer of the first and last labels (charSize the character width),
// along y a line (charSize the line height) and one unit. A scale of 0 gives one tick at most.
// Nothing (no ticks) for a step that is not above 0, a negative scale, or any value that is not
// finite.
std::optional<TickStride> ChooseTickStride(double min, double max, double step, double scale,
                                           int charSize, int decimals, TickDirection direction);

// The label as a column: each of its characters followed by a line feed, at most
// (size - 1) / 2 characters of it. Answers the number of characters taken.
int MakeVerticalLabel(const char* label, char* column, std::size_t size);

}  // namespace plot32
