// Access to the buffer manager's buffers for the library's routines: an input's samples as they
// lie, and the store of a routine's float results into its output.
#pragma once

#include <cstdint>
#include <new>
#include <stdexcept>
#include <vector>

#include "hxdsp32.h"
#include "hxmem32.h"

namespace hxdsp32 {

struct InputView {
    const void* data = nullptr;
    std::uint32_t width = 0;  // bytes per sample
    std::uint32_t valid = 0;  // valid samples
};

// The input's samples, or HXDSP_INVALIDBUFFER / HXDSP_NOVALIDSAMPLES.
std::uint32_t ReadInput(HBUF input, InputView& view);
// As ReadInput, and HXDSP_BADSAMPLESIZE unless the samples are single-precision floats.
std::uint32_t ReadFloats(HBUF input, InputView& view);
// HXDSP_INVALIDBUFFER unless the output is a live buffer, else 0.
std::uint32_t CheckOutput(HBUF output);
// Writes the values as the output's samples (data width 4, valid samples = values.size()), or
// gives HXDSP_OUTPUTTOOSMALL and leaves the output as it was.
std::uint32_t StoreFloats(HBUF output, const std::vector<float>& values);

// Runs a routine's body; work space that cannot be had gives HXDSP_NOMEMORY instead of an
// exception through the library's C entry.
template <class Body>
std::uint32_t Guarded(Body body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return HXDSP_NOMEMORY;
    } catch (const std::length_error&) {
        return HXDSP_NOMEMORY;
    }
}

inline const float* Floats(const InputView& view) {
    return static_cast<const float*>(view.data);
}

}  // namespace hxdsp32
