#include "buffers.h"

#include <cstring>

#include "hxdsp32.h"

namespace hxdsp32 {

std::uint32_t ReadInput(HBUF input, InputView& view) {
    void* data = nullptr;
    std::uint32_t width = 0;
    std::uint32_t valid = 0;
    if (hxDmGetBufferPtr(input, &data) != 0 || hxDmGetDataWidth(input, &width) != 0 ||
        hxDmGetValidSamples(input, &valid) != 0)
        return HXDSP_INVALIDBUFFER;
    if (valid == 0)
        return HXDSP_NOVALIDSAMPLES;
    view = InputView{data, width, valid};
    return HXDSP_NOERROR;
}

std::uint32_t ReadFloats(HBUF input, InputView& view) {
    if (const std::uint32_t status = ReadInput(input, view); status != HXDSP_NOERROR)
        return status;
    return view.width == sizeof(float) ? HXDSP_NOERROR : HXDSP_BADSAMPLESIZE;
}

std::uint32_t CheckOutput(HBUF output) {
    std::uint32_t bytes = 0;
    return hxDmGetBufferSize(output, &bytes) == 0 ? HXDSP_NOERROR : HXDSP_INVALIDBUFFER;
}

std::uint32_t StoreFloats(HBUF output, const std::vector<float>& values) {
    std::uint32_t bytes = 0;
    void* data = nullptr;
    if (hxDmGetBufferSize(output, &bytes) != 0 || hxDmGetBufferPtr(output, &data) != 0)
        return HXDSP_INVALIDBUFFER;
    if (values.size() > bytes / sizeof(float))
        return HXDSP_OUTPUTTOOSMALL;
    if (hxDmSetDataWidth(output, sizeof(float)) != 0)
        return HXDSP_INVALIDBUFFER;
    if (!values.empty())
        std::memcpy(data, values.data(), values.size() * sizeof(float));
    if (hxDmSetValidSamples(output, static_cast<std::uint32_t>(values.size())) != 0)
        return HXDSP_INVALIDBUFFER;
    return HXDSP_NOERROR;
}

}  // namespace hxdsp32
