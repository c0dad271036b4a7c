// The get and put of every member of the settings family (settings_table.h).
#pragma once

#include "acq_control.h"

namespace mqacq32 {

namespace detail {

template <typename T>
constexpr T MarkerA(T held) {
    return held == T(-2) ? T(-3) : T(-2);
}
template <typename T>
constexpr T MarkerB(T held) {
    return held == T(-1) ? T(-2) : T(-1);
}

template <typename T, typename Library>
T FromLibraryValue(const Setting<T, Library>& entry, Library value) {
    if constexpr (std::is_floating_point_v<T>)
        return value;
    else
        return static_cast<T>(FromLibrary(entry.map, entry.base, value));
}

template <typename T, typename Library>
Library ToLibraryValue(const Setting<T, Library>& entry, T value) {
    if constexpr (std::is_floating_point_v<T>)
        return value;
    else
        return ToLibrary(entry.map, entry.base, value);
}

}  // namespace detail

template <typename T>
T AcqControl::AnswerUnsupported(Unsupported how, T& cached, T designValue) {
    switch (how) {
        case Unsupported::kCached:
            return cached;
        case Unsupported::kRaise:
            Report(HXNOTSUPPORTED);
            return cached;
        case Unsupported::kValue:
            cached = designValue;
            return cached;
        case Unsupported::kMarkerA:
            cached = detail::MarkerA(cached);
            return cached;
        case Unsupported::kMarkerB:
            cached = detail::MarkerB(cached);
            return cached;
    }
    return cached;
}

template <const auto& Entry>
auto AcqControl::GetSetting() -> std::remove_cvref_t<decltype(Entry.designValue)> {
    using T = std::remove_cvref_t<decltype(Entry.designValue)>;
    T& cached = settings_.*(Entry.cached);
    if (hDass_ == 0)
        return cached;
    const Unsupported how = UserMode() ? Entry.run : Entry.design;
    if (!GateOpen(Entry.gate))
        return AnswerUnsupported(how, cached, Entry.designValue);
    typename std::remove_cvref_t<decltype(Entry)>::LibraryValue value{};
    const HXSTATUS status = Entry.get(hDass_, &value);
    if (status == HXNOTSUPPORTED)
        return AnswerUnsupported(how, cached, Entry.designValue);
    Report(status);
    cached = detail::FromLibraryValue(Entry, value);
    return cached;
}

template <const auto& Entry>
void AcqControl::PutSetting(std::remove_cvref_t<decltype(Entry.designValue)> value) {
    if (Entry.binary && (value < 0 || value > 1))
        RaiseInvalidValue();
    if (Entry.putNeedsSubsystem && hDass_ == 0)
        return;
    Report(Entry.set(hDass_, detail::ToLibraryValue(Entry, value)));
    settings_.*(Entry.cached) = value;
    Notify(Entry.id);
    if (Entry.marksModified)
        MarkModified();
}

}  // namespace mqacq32
