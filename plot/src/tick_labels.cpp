#include "tick_labels.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace plot32 {

namespace {

constexpr double kHalf = 0.5;
constexpr double kTenth = 0.1;
constexpr double kTen = 10.0;
constexpr int kLargestDigit = 9;

// Appends characters while room is left for the NUL, and keeps the text terminated.
class LabelWriter {
  public:
    LabelWriter(char* text, std::size_t size) : text_(text), size_(size) {
        if (size_ > 0)
            text_[0] = '\0';
    }
    bool Full() const { return size_ == 0 || length_ + 1 >= size_; }
    void Put(char c) {
        if (Full())
            return;
        text_[length_++] = c;
        text_[length_] = '\0';
    }

  private:
    char* text_;
    std::size_t size_;
    std::size_t length_ = 0;
};

// The next digit of c (0 <= c < 1): c times ten, its integer part emitted and taken off.
void PutDigit(LabelWriter& writer, double& c) {
    c *= kTen;
    const int digit = std::clamp(static_cast<int>(std::trunc(c)), 0, kLargestDigit);
    writer.Put(static_cast<char>('0' + digit));
    c -= digit;
}

std::size_t MeasuredLength(double value, int decimals) {
    char text[kMeasureChars];
    FormatTickLabel(value, decimals, text, sizeof text);
    return std::strlen(text);
}

// The smallest k >= 2 with trunc(perStep x k) >= room, for perStep > 0 and room >= 1: since room
// is whole, that is perStep x k >= room. Found from the quotient rather than by counting, so that
// a tiny step costs no more than a large one.
double SmallestMultiplier(double perStep, double room) {
    constexpr double kFewestSteps = 2;
    double k = std::max(kFewestSteps, std::ceil(room / perStep));
    if (!std::isfinite(k))
        return k;
    while (std::trunc(perStep * k) < room)
        ++k;
    while (k > kFewestSteps && std::trunc(perStep * (k - 1)) >= room)
        --k;
    return k;
}

}  // namespace

void FormatTickLabel(double value, int decimals, char* text, std::size_t size) {
    LabelWriter writer(text, size);
    if (value < 0 || std::isnan(value))
        writer.Put('-');
    if (!std::isfinite(value))
        return;
    const double rounding = decimals <= 0 ? kHalf : kHalf * std::pow(kTenth, decimals);
    double c = std::fabs(value) + rounding;
    if (c < 1)
        writer.Put('0');
    int integerDigits = 0;
    while (c >= 1) {  // at most 309 times for a finite double
        c *= kTenth;
        ++integerDigits;
    }
    for (int i = 0; i < integerDigits; ++i)
        PutDigit(writer, c);
    if (decimals == 0)
        return;
    writer.Put('.');
    for (int i = 0; i < decimals && !writer.Full(); ++i)
        PutDigit(writer, c);
}

std::optional<TickStride> ChooseTickStride(double min, double max, double step, double scale,
                                           int charSize, int decimals, TickDirection direction) {
    if (!std::isfinite(min) || !std::isfinite(max) || !std::isfinite(step) ||
        !std::isfinite(scale) || !(step > 0) || scale < 0)
        return std::nullopt;
    TickStride stride{1, 0, 0};
    const double firstRest = std::fmod(min, step);
    stride.first = firstRest != 0 ? min + step - firstRest : min + step;
    const double lastRest = std::fmod(max, step);
    stride.last = lastRest != 0 ? max - lastRest : max;
    if (scale == 0) {
        stride.last = stride.first;  // one tick at most
        return stride;
    }
    const std::size_t longer =
        std::max(MeasuredLength(stride.first, decimals), MeasuredLength(stride.last, decimals));
    const double room = direction == TickDirection::Horizontal
                            ? static_cast<double>(charSize) * static_cast<double>(longer + 1)
                            : static_cast<double>(charSize) + 1;
    // At least one unit apart, even for a context without a font, so that the ticks are bounded
    // by the axis' length.
    const double needed = std::max(1.0, room);
    const double perStep = step * scale;
    if (std::trunc(perStep) < needed)
        stride.multiplier = SmallestMultiplier(perStep, needed);
    return stride;
}

int MakeVerticalLabel(const char* label, char* column, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t most = (size - 1) / 2;
    std::size_t taken = 0;
    for (; label && label[taken] != '\0' && taken < most; ++taken) {
        column[2 * taken] = label[taken];
        column[2 * taken + 1] = '\n';
    }
    column[2 * taken] = '\0';
    return static_cast<int>(taken);
}

}  // namespace plot32
