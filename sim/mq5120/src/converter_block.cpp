// The converter's function over a block, in one loop the compiler vectorises.
#include "converter.h"

namespace mq5120 {

bool ConverterLine::Codes(const double* __restrict volts, std::uint16_t* __restrict codes,
                          std::size_t count) const {
    std::int32_t uncertain = 0;
    for (std::size_t m = 0; m < count; ++m) {
        const double input = volts[m] * slope + intercept;
        const auto low = static_cast<std::int32_t>(Held(input - margin));
        const auto high = static_cast<std::int32_t>(Held(input + margin));
        codes[m] = static_cast<std::uint16_t>(low);
        uncertain |= low ^ high;
    }
    return uncertain == 0;
}

}  // namespace mq5120
