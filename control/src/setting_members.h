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
T FromLibraryValue(const Setting<T, Library>& spec, Library value) {
    if constexpr (std::is_floating_point_v<T>)
        return value;
    else
        return static_cast<T>(FromLibrary(spec.map, spec.base, value));
}

template <typename T, typename Library>
Library ToLibraryValue(const Setting<T, Library>& spec, T value) {
    if constexpr (std::is_floating_point_v<T>)
        return value;
    else
        return ToLibrary(spec.map, spec.base, value);
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

template <const auto& Spec>
auto AcqControl::GetSetting() -> std::remove_cvref_t<decltype(Spec.designValue)> {
    using T = std::remove_cvref_t<decltype(Spec.designValue)>;
    T& cached = settings_.*(Spec.cached);
    if (hDass_ == 0)
        return cached;
    const Unsupported how = UserMode() ? Spec.run : Spec.design;
    if (!GateOpen(Spec.gate))
        return AnswerUnsupported(how, cached, Spec.designValue);
    typename std::remove_cvref_t<decltype(Spec)>::LibraryValue value{};
    const HXSTATUS status = Spec.get(hDass_, &value);
    if (status == HXNOTSUPPORTED)
        return AnswerUnsupported(how, cached, Spec.designValue);
    Report(status);
    cached = detail::FromLibraryValue(Spec, value);
    return cached;
}

template <const auto& Spec>
void AcqControl::PutSetting(std::remove_cvref_t<decltype(Spec.designValue)> value) {
    if (Spec.binary && (value < 0 || value > 1))
        RaiseInvalidValue();
    if (Spec.putNeedsSubsystem && hDass_ == 0)
        return;
    Report(Spec.set(hDass_, detail::ToLibraryValue(Spec, value)));
    settings_.*(Spec.cached) = value;
    Notify(Spec.id);
    if (Spec.marksModified)
        MarkModified();
}

}  // namespace mqacq32
