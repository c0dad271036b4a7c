// How a subsystem acquires: DMA channels, triggered scan, channel type, encoding, resolution,
// data flow, wrap mode, multiscan count and the special configuration mode.
#include <utility>

#include "core/capabilities.h"
#include "core/message_codes.h"
#include "core/message_layouts.h"
#include "hxda/api_status.h"
#include "settings/setting_rules.h"
#include "settings/setting_topics.h"

namespace hxda {
namespace {

// 0 none, 1 one channel, 2 or more two channels; kept as the two DMA flags.
ApiStatus setDmaUsage(SubsystemRecord& subsystem, std::uint32_t usage) {
    if (usage != 0 && capability(subsystem.personality, HXSSC_NUMDMACHANNELS) == 0)
        return HXNOTENOUGHDMA;
    if (isRunning(subsystem))
        return HXSUBSYSRUNNING;
    ConfigurationBlock& block = subsystem.block();
    const std::uint8_t first = usage >= 1 ? 1 : 0;
    const std::uint8_t second = usage >= 2 ? 1 : 0;
    if (block.dmaInUse == first && block.secondDmaInUse == second)
        return HXNOERROR;
    block.dmaInUse = first;
    block.secondDmaInUse = second;
    needsConfiguration(subsystem);
    return HXNOERROR;
}

std::uint32_t dmaUsage(const ConfigurationBlock& block) {
    return block.secondDmaInUse != 0 ? 2 : block.dmaInUse != 0 ? 1 : 0;
}

// `first` and `second` name the capabilities of the two values value0 and value0 + 1.
ApiStatus setPairValue(SubsystemRecord& subsystem, std::uint16_t& field, std::uint32_t value,
                       std::uint32_t value0, std::uint32_t first, std::uint32_t second,
                       ApiStatus invalid) {
    if (value != value0 && value != value0 + 1)
        return invalid;
    const bool capable = capability(subsystem.personality, value == value0 ? first : second) != 0;
    return storeIfCapable(subsystem, capable, field, value);
}

bool hasEither(const PersonalityRecord& p, std::uint32_t first, std::uint32_t second) {
    return capability(p, first) != 0 || capability(p, second) != 0;
}

// Between the first and the last entry of the resolution table, both truncated to whole bits.
ApiStatus setResolution(SubsystemRecord& subsystem, std::uint32_t bits) {
    const PersonalityRecord& p = subsystem.personality;
    ConfigurationBlock& block = subsystem.block();
    if (capability(p, HXSSC_SWRESOLUTION) == 0)
        return storeIfCapable(subsystem, false, block.resolution, bits);
    const std::uint32_t count = capability(p, HXSSC_NUMRESOLUTIONS);
    if (count == 0 || !p.resolutions)
        return HXINVALIDRESOLUTION;
    double low = p.resolutions[0];
    double high = p.resolutions[count - 1];
    if (low > high)
        std::swap(low, high);
    if (!(bits >= static_cast<std::int64_t>(low) && bits <= static_cast<std::int64_t>(high)))
        return HXINVALIDRESOLUTION;
    return storeSetting(subsystem, block.resolution, bits);
}

bool hasAnyDataFlow(const PersonalityRecord& p) {
    return capability(p, HXSSC_DATAFLOW_CONTINUOUS) != 0 ||
           capability(p, HXSSC_DATAFLOW_SINGLEVALUE) != 0 ||
           capability(p, HXSSC_DATAFLOW_CONTPRETRIG) != 0 ||
           capability(p, HXSSC_DATAFLOW_CONTABOUTTRIG) != 0;
}

ApiStatus setDataFlow(SubsystemRecord& subsystem, std::uint32_t flow) {
    const PersonalityRecord& p = subsystem.personality;
    std::uint32_t code = 0;
    switch (flow) {
        case HXDF_CONTINUOUS:
            code = HXSSC_DATAFLOW_CONTINUOUS;
            break;
        case HXDF_SINGLEVALUE:
            code = HXSSC_DATAFLOW_SINGLEVALUE;
            break;
        case HXDF_CONTPRETRIG:
            code = HXSSC_DATAFLOW_CONTPRETRIG;
            break;
        case HXDF_CONTABOUTTRIG:
            code = HXSSC_DATAFLOW_CONTABOUTTRIG;
            break;
        default:
            // The two values between HXDF_SINGLEVALUE and HXDF_CONTPRETRIG lie in range but name no
            // flow of this library.
            if (flow < HXDF_CONTINUOUS || flow > HXDF_CONTABOUTTRIG)
                return HXINVALIDDATAFLOW;
            break;
    }
    const bool capable = code != 0 && capability(p, code) != 0;
    return storeIfCapable(subsystem, capable, subsystem.block().dataFlow, flow);
}

bool hasStreamingFlow(const PersonalityRecord& p) {
    return capability(p, HXSSC_DATAFLOW_CONTINUOUS) != 0 ||
           capability(p, HXSSC_DATAFLOW_CONTPRETRIG) != 0 ||
           capability(p, HXSSC_DATAFLOW_CONTABOUTTRIG) != 0;
}

ApiStatus setWrapMode(SubsystemRecord& subsystem, std::uint32_t mode) {
    const PersonalityRecord& p = subsystem.personality;
    if (subsystem.type == HXSS_CT)
        return HXNOTSUPPORTED;
    if (mode < HXWRAP_NONE || mode > HXWRAP_SINGLE)
        return HXINVALIDWRAPMODE;
    if (!hasStreamingFlow(p))
        return HXNOTSUPPORTED;
    const bool capable = mode == HXWRAP_NONE ||
                         (mode == HXWRAP_MULTIPLE && capability(p, HXSSC_WRAP_MULTIPLE) != 0) ||
                         (mode == HXWRAP_SINGLE && capability(p, HXSSC_WRAP_SINGLE) != 0);
    return storeIfCapable(subsystem, capable, subsystem.block().wrapMode, mode);
}

// Refused while running, like every other setting. Otherwise the subsystem needs configuring
// again whether the count was taken or refused.
ApiStatus setMultiscanCount(SubsystemRecord& subsystem, std::uint32_t count) {
    if (isRunning(subsystem))
        return HXSUBSYSRUNNING;
    needsConfiguration(subsystem);
    if (count < 1 || count > capability(subsystem.personality, HXSSC_MAXMULTISCAN) ||
        count > 0xFFFFu)
        return HXINVALIDMULTISCANCOUNT;
    subsystem.block().multiscanCount = static_cast<std::uint16_t>(count);
    return HXNOERROR;
}

}  // namespace

ApiStatus acquisitionSetting(SubsystemRecord& subsystem, std::uint32_t code,
                             MessageRecord& message) {
    const PersonalityRecord& p = subsystem.personality;
    ConfigurationBlock& block = subsystem.block();
    const std::uint32_t value = message.get(SettingWords::kValue);
    switch (code) {
        case HXDRV_SETDMAUSAGE:
            return setDmaUsage(subsystem, value);
        case HXDRV_GETDMAUSAGE:
            return answerWord(message, dmaUsage(block));
        case HXDRV_SETTRIGGEREDSCANUSAGE:
            return storeIfCapable(subsystem, capability(p, HXSSC_TRIGGEREDSCAN) != 0,
                                  block.triggeredScanInUse, value != 0 ? 1u : 0u);
        case HXDRV_GETTRIGGEREDSCANUSAGE:
            return answerWord(
                message, capability(p, HXSSC_TRIGGEREDSCAN) != 0 ? block.triggeredScanInUse : 0);
        case HXDRV_SETCHANNELTYPE:
            return setPairValue(subsystem, block.channelType, value, HXCHANTYPE_SINGLEENDED,
                                HXSSC_CHANTYPE_SINGLEENDED, HXSSC_CHANTYPE_DIFFERENTIAL,
                                HXINVALIDCHANNELTYPE);
        case HXDRV_GETCHANNELTYPE:
            if (!hasEither(p, HXSSC_CHANTYPE_SINGLEENDED, HXSSC_CHANTYPE_DIFFERENTIAL))
                return HXNOTSUPPORTED;
            return answerWord(message, block.channelType);
        case HXDRV_SETENCODING:
            return setPairValue(subsystem, block.encoding, value, HXENCODING_BINARY,
                                HXSSC_ENCODING_BINARY, HXSSC_ENCODING_TWOSCOMP, HXINVALIDENCODING);
        case HXDRV_GETENCODING:
            if (!hasEither(p, HXSSC_ENCODING_BINARY, HXSSC_ENCODING_TWOSCOMP))
                return HXNOTSUPPORTED;
            return answerWord(message, block.encoding);
        case HXDRV_SETRESOLUTION:
            return setResolution(subsystem, value);
        case HXDRV_GETRESOLUTION:
            return answerWord(message, block.resolution);
        case HXDRV_SETDATAFLOW:
            return setDataFlow(subsystem, value);
        case HXDRV_GETDATAFLOW:
            if (!hasAnyDataFlow(p))
                return HXNOTSUPPORTED;
            return answerWord(message, block.dataFlow);
        case HXDRV_SETWRAPMODE:
            return setWrapMode(subsystem, value);
        case HXDRV_GETWRAPMODE:
            if (subsystem.type == HXSS_CT || !hasStreamingFlow(p))
                return HXNOTSUPPORTED;
            return answerWord(message, block.wrapMode);
        case HXDRV_SETMULTISCANCOUNT:
            return setMultiscanCount(subsystem, value);
        case HXDRV_GETMULTISCANCOUNT:
            return answerWord(message, block.multiscanCount);
        case HXDRV_SETSPECIALVPICONFIGMODE:
            // The low byte, taken as it is: no test and no new configuration.
            block.specialConfigMode = static_cast<std::uint8_t>(value);
            return HXNOERROR;
        case HXDRV_GETSPECIALVPICONFIGMODE:
            return answerWord(message, block.specialConfigMode);
        default:
            return HXNOTSUPPORTED;
    }
}

}  // namespace hxda
