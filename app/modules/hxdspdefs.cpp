#include "modules/hxdspdefs.h"

#include "modules/hxmemdefs.h"
#include "uilang/conversions.h"
#include "uilang/declared_entry.h"

namespace larkspur::hxdspdefs {
namespace {

constexpr const char* kLibrary = "hxdsp32.dll";
constexpr std::uint32_t kTextLength = 129;
constexpr std::size_t kTextBuffer = 130;

using U = std::uint32_t;
using InputToVoltsFn = U(U, U, U, float, float, std::int16_t);
using WindowFn = U(U, U, U, U, U, U);
using RealFftFn = U(U, U, U, U);
using MagToDbFn = U(U, U);
using ErrorStringFn = U(U, char*, U);

struct Entries {
    uilang::DeclaredEntry<InputToVoltsFn> inputToVolts{kLibrary, "hxDspInputToVolts"};
    uilang::DeclaredEntry<WindowFn> window{kLibrary, "hxDspWindow"};
    uilang::DeclaredEntry<RealFftFn> realFft{kLibrary, "hxDspRealFFT"};
    uilang::DeclaredEntry<MagToDbFn> magToDb{kLibrary, "hxDspMagToDB"};
    uilang::DeclaredEntry<ErrorStringFn> errorString{kLibrary, "hxDspGetErrorString"};
};

Entries& Bound() {
    static Entries entries;
    return entries;
}

void Check(const char* source, U status) {
    if (status != 0)
        RaiseDspError(source, uilang::CInt(static_cast<double>(static_cast<std::int32_t>(status))));
}

}  // namespace

void InputToVolts(const hxdadefs::Scale& scale, std::int32_t in, std::int32_t out) {
    Check("hxDspInputToVolts", Bound().inputToVolts(static_cast<U>(in), static_cast<U>(out),
                                                    static_cast<U>(scale.encoding), scale.minRange,
                                                    scale.maxRange, scale.resolution));
}

void Window(std::int32_t a1, std::int32_t a2, std::int32_t a3, std::int32_t a4, std::int32_t a5,
            std::int32_t a6) {
    Check("hxDspWindow",
          Bound().window(static_cast<U>(a1), static_cast<U>(a2), static_cast<U>(a3),
                         static_cast<U>(a4), static_cast<U>(a5), static_cast<U>(a6)));
}

void RealFFT(std::int32_t a1, std::int32_t a2, std::int32_t a3, std::int16_t n) {
    Check("hxDspRealFFT", Bound().realFft(static_cast<U>(a1), static_cast<U>(a2),
                                          static_cast<U>(a3), static_cast<U>(std::int32_t{n})));
}

void MagToDB(std::int32_t a1, std::int32_t a2) {
    Check("hxDspMagToDB", Bound().magToDb(static_cast<U>(a1), static_cast<U>(a2)));
}

void RaiseDspError(const std::string& source, std::int16_t status) {
    char text[kTextBuffer] = {};
    Bound().errorString(static_cast<U>(status), text, kTextLength);
    throw uilang::RuntimeError(hxmemdefs::kLibraryErrorBase + status, source, std::string(text));
}

}  // namespace larkspur::hxdspdefs
