// Texts of the buffer manager's statuses, as the library's users show them.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "hxmem32.h"

namespace hxmem32 {
namespace {

// 200-220, in order; 212 and 216 keep their historic spelling.
constexpr const char* kTexts[] = {
    "Cannot allocate a buffer control block for the requested data buffer.",
    "Cannot allocate the requested data buffer.",
    "Invalid buffer handle (HBUF) passed to a library from an application.",
    "Cannot lock buffer",
    "Buffer Locked",
    "Buffer on List",
    "Reallocation of a buffer control block was unsuccessful.",
    "Reallocation of the data buffer was unsuccessful.",
    "Bad Sample Size",
    "Cannot Allocate List",
    "Bad List Handle",
    "List Not Empty",
    "Bufffer Not Locked",
    "Invalid DMA Channel specified",
    "Specified DMA Channel in use",
    "Invalid IRQ specified",
    "Specififed IRQ in use",
    "Buffer has no valid samples",
    "Valid Samples cannot be larger than buffer",
    "Specified buffer too small for requested copy operation",
    "Requested operation requires that valid samples in buffer be a multiple of 2",
};
constexpr std::uint32_t kFirstStatus = HXCANTALLOCBCB;
static_assert(std::size(kTexts) == HXNOTMULTIPLEOFTWO - HXCANTALLOCBCB + 1);

const char* TextOf(std::uint32_t status) {
    if (status == 0)
        return "No Error";
    if (status < kFirstStatus || status - kFirstStatus >= std::size(kTexts))
        return nullptr;
    return kTexts[status - kFirstStatus];
}

}  // namespace
}  // namespace hxmem32

extern "C" uint32_t HXMEMAPI hxDmGetErrorString(uint32_t status, char* text, uint32_t size) {
    if (text == nullptr || size == 0)
        return HXBUFFERTOOSMALL;
    if (const char* known = hxmem32::TextOf(status)) {
        const std::size_t length = std::min<std::size_t>(std::strlen(known), size - 1);
        std::memcpy(text, known, length);
        text[length] = '\0';
    } else {
        std::snprintf(text, size, "HX Unknown Error: 0x%lX", static_cast<unsigned long>(status));
    }
    return 0;
}
