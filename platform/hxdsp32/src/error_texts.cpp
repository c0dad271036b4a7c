// Texts of the library's statuses.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "hxdsp32.h"

namespace {

// HXDSP_INVALIDBUFFER .. HXDSP_NOMEMORY, in order.
constexpr const char* kTexts[] = {
    "Invalid buffer handle (HBUF) passed to the signal-processing library.",
    "Input buffer has no valid samples",
    "Input buffer has fewer valid samples than requested",
    "Output buffer too small for the result",
    "Input samples are of a size the routine cannot process",
    "Invalid length: zero, or an FFT length that is not a power of two from 2 to 65536",
    "Invalid window type",
    "Invalid window scaling or form",
    "Invalid data encoding",
    "Invalid resolution for the input samples",
    "Invalid range: maximum not above minimum",
    "Invalid FFT output form",
    "Cannot allocate memory for the transform",
};
static_assert(std::size(kTexts) == HXDSP_NOMEMORY - HXDSP_INVALIDBUFFER + 1);

const char* TextOf(std::uint32_t status) {
    if (status == HXDSP_NOERROR)
        return "No Error";
    if (status < HXDSP_INVALIDBUFFER || status - HXDSP_INVALIDBUFFER >= std::size(kTexts))
        return nullptr;
    return kTexts[status - HXDSP_INVALIDBUFFER];
}

}  // namespace

extern "C" uint32_t HXDSPAPI hxDspGetErrorString(uint32_t status, char* text, uint32_t size) {
    if (text == nullptr || size == 0)
        return HXDSP_OUTPUTTOOSMALL;
    if (const char* known = TextOf(status)) {
        const std::size_t length = std::min<std::size_t>(std::strlen(known), size - 1);
        std::memcpy(text, known, length);
        text[length] = '\0';
    } else {
        std::snprintf(text, size, "HXDSP Unknown Error: 0x%lX", static_cast<unsigned long>(status));
    }
    return HXDSP_NOERROR;
}
