#include "modules/hxdadefs.h"

#include "modules/acq_members.h"

#include <cmath>

#include "uilang/conversions.h"
#include "uilang/declared_entry.h"
#include "uilang/runtime_error.h"

namespace larkspur::hxdadefs {
namespace {

std::int32_t CodeCount(const Scale& scale) {
    return uilang::CLng(std::pow(2.0, scale.resolution));
}

}  // namespace

float CodeToVolts(const Scale& scale, std::int32_t code) {
    std::int32_t n = CodeCount(scale);
    double min = scale.minRange;
    double max = scale.maxRange;
    std::int64_t c = code;
    if (scale.encoding == kEncodingTwosComplement) {
        c = code & (n - 1);
        if (c >= n / 2)
            c -= n;
    }
    double v = (max - min) * static_cast<double>(c) / n;
    double volts = scale.encoding == kEncodingTwosComplement ? (max + min) / 2 + v : min + v;
    return static_cast<float>(volts);
}

std::int32_t VoltsToCode(const Scale& scale, float volts) {
    std::int32_t n = CodeCount(scale);
    double min = scale.minRange;
    double max = scale.maxRange;
    double v = volts;
    if (v > max)
        v = max;
    if (v < min)
        v = min;
    if (max - min == 0)
        uilang::Raise(uilang::kErrDivisionByZero);
    if (scale.encoding == kEncodingTwosComplement) {
        std::int32_t code = uilang::CLng((v - (max + min) / 2) * n / (max - min));
        return code == n / 2 ? n / 2 - 1 : code;
    }
    std::int32_t code = uilang::CLng((v - min) * n / (max - min));
    return code == n ? n - 1 : code;
}

Scale ReadScale(uilang::Automation& control) {
    Scale scale{};
    scale.resolution = uilang::ToShort(control.Get(acq::dispid::Resolution));
    scale.minRange = uilang::ToSingle(control.Get(acq::dispid::MinRange));
    scale.maxRange = uilang::ToSingle(control.Get(acq::dispid::MaxRange));
    scale.encoding = uilang::ToShort(control.Get(acq::dispid::Encoding));
    return scale;
}

float CodeToVolts(uilang::Automation& control, std::int32_t code) {
    return CodeToVolts(ReadScale(control), code);
}

std::int32_t VoltsToCode(uilang::Automation& control, float volts) {
    return VoltsToCode(ReadScale(control), volts);
}

std::int32_t ReleaseDASS(std::int32_t hdass) {
    using Release = std::uint32_t(std::uint32_t);
    static uilang::DeclaredEntry<Release> release("HXDAAPI32.DLL", "hxDaReleaseDASS");
    return static_cast<std::int32_t>(release(static_cast<std::uint32_t>(hdass)));
}

}  // namespace larkspur::hxdadefs
