// The plot control MQPlot32: the members that the instrument panels reach by dispatch identifier,
// with the value type each takes. Axis values are in the units drawn (codes, volts, dB); X counts
// points. A replacement control accepts these identifiers and types, draws an hxmem32 buffer
// given by handle in the encoding given, and has taken what it draws when the assignment returns.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace mqplot32 {

inline constexpr std::string_view kProgId = "MQPlot32Lib.MQPlot32";

using DispatchId = std::int32_t;

// Dispatch identifiers of the members the panels use.
namespace dispid {
inline constexpr DispatchId Member2 = 2;  // boolean; the spectrum panel sets it false
inline constexpr DispatchId YMinimum = 5;
inline constexpr DispatchId YMaximum = 6;
inline constexpr DispatchId XStart = 7;
inline constexpr DispatchId XSpan = 8;
inline constexpr DispatchId DataEncoding = 11;
inline constexpr DispatchId TraceCount = 12;
inline constexpr DispatchId XGridStep = 27;
inline constexpr DispatchId XLabelStep = 28;
inline constexpr DispatchId YLabelStep = 30;
inline constexpr DispatchId YGridStep = 31;
inline constexpr DispatchId AutoRedraw = 32;
inline constexpr DispatchId Member33 = 33;  // boolean; the strip chart sets it true
inline constexpr DispatchId HistoryLength = 34;
inline constexpr DispatchId DrawBuffer = 35;
inline constexpr DispatchId AppendValue = 38;
inline constexpr DispatchId Member39 = 39;  // boolean; false while streaming, true for a file
inline constexpr DispatchId TraceColor = 40;
}  // namespace dispid

// The event the control fires when the user clicks the plot.
inline constexpr DispatchId kClickEvent = 1;

// Values of DataEncoding.
inline constexpr std::int16_t kEncodingOffsetBinary = 0;
inline constexpr std::int16_t kEncodingTwosComplement = 1;
inline constexpr std::int16_t kEncodingAppendedValues = 2;  // values given through AppendValue

enum class ValueType {
    Boolean,
    Short,   // 16-bit integer
    Long,    // 32-bit integer
    Single,  // 32-bit float
    Double,
};

struct Member {
    DispatchId id;
    std::string_view name;
    ValueType type;
    bool indexed;  // takes a 0-based index argument
    std::string_view use;
};

inline constexpr std::array<Member, 18> kMembers = {{
    {dispid::Member2, "Member2", ValueType::Boolean, false,
     "set false at set-up and before each redraw (spectrum)"},
    {dispid::YMinimum, "YMinimum", ValueType::Single, false,
     "bottom of the Y axis; takes any number, reads back as single"},
    {dispid::YMaximum, "YMaximum", ValueType::Single, false,
     "top of the Y axis; takes any number, reads back as single"},
    {dispid::XStart, "XStart", ValueType::Short, false,
     "first X point shown; the strip chart moves it to scroll"},
    {dispid::XSpan, "XSpan", ValueType::Double, false, "number of X points across the plot"},
    {dispid::DataEncoding, "DataEncoding", ValueType::Short, false,
     "0 offset binary, 1 two's complement, 2 appended single values"},
    {dispid::TraceCount, "TraceCount", ValueType::Short, false, "number of traces drawn"},
    {dispid::XGridStep, "XGridStep", ValueType::Single, false, "X distance of grid lines"},
    {dispid::XLabelStep, "XLabelStep", ValueType::Single, false, "X distance of labels"},
    {dispid::YLabelStep, "YLabelStep", ValueType::Single, false, "Y distance of labels"},
    {dispid::YGridStep, "YGridStep", ValueType::Single, false, "Y distance of grid lines"},
    {dispid::AutoRedraw, "AutoRedraw", ValueType::Boolean, false,
     "false while a panel replaces the drawn buffer, true after"},
    {dispid::Member33, "Member33", ValueType::Boolean, false,
     "set true at start and when loading a file (strip chart)"},
    {dispid::HistoryLength, "HistoryLength", ValueType::Long, false, "points kept per trace"},
    {dispid::DrawBuffer, "DrawBuffer", ValueType::Long, false,
     "hxmem32 buffer handle to draw, 0 clears; the buffer stays the caller's"},
    {dispid::AppendValue, "AppendValue", ValueType::Single, false,
     "appends a value to the trace whose colour was set last"},
    {dispid::Member39, "Member39", ValueType::Boolean, false,
     "false at start, true when loading a file (strip chart); false (spectrum)"},
    {dispid::TraceColor, "TraceColor", ValueType::Long, true, "RGB colour of the indexed trace"},
}};

// The member with that identifier, or nullptr.
constexpr const Member* FindMember(DispatchId id) {
    for (const Member& member : kMembers)
        if (member.id == id)
            return &member;
    return nullptr;
}

namespace detail {
constexpr bool IdsAreUnique() {
    for (std::size_t i = 0; i < kMembers.size(); ++i)
        for (std::size_t j = i + 1; j < kMembers.size(); ++j)
            if (kMembers[i].id == kMembers[j].id)
                return false;
    return true;
}
static_assert(IdsAreUnique(), "every member has its own dispatch identifier");
}  // namespace detail

}  // namespace mqplot32
