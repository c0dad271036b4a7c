#include "board/ad_program.h"

#include <cstring>

#include "hxdacodes.h"

namespace board {

namespace {

constexpr double kBaseClock = 18'000'000.0;
constexpr USHORT kListInhibit = 0x1000;
constexpr USHORT kListDigitalOut = 0x2000;
// Words of the extra channels c - 11 ... c - 1.
constexpr USHORT kExtraWords[kExtraChannels] = {0x400, 0x800, 0xC00, 0x880, 0xC80, 0x900,
                                                0xD00, 0x980, 0xD80, 0xA00, 0xE00};

double Value(const hxda::FixedPoint& f) {
    return static_cast<double>(f.integer) + static_cast<double>(f.fraction) / hxda::kFixedPointUnit;
}

bool IsTrigger(USHORT source) {
    return source == kTriggerSoftware || source == kTriggerExternal ||
           source == kTriggerDigitalEvent || source == kTriggerThreshold;
}

// trunc(18 MHz / f) for a frequency the clock can make, with the frequency produced written
// back; an API status.
ULONG Divider(hxda::FixedPoint& frequency, ULONG* divider) {
    const double f = Value(frequency);
    if (!(f > 0.0))
        return HXINVALIDFREQUENCY;
    if (f > kBaseClock)
        return HXINVALIDCLOCKSOURCE;
    *divider = static_cast<ULONG>(kBaseClock / f);
    frequency = hxda::encodeFixedPoint(kBaseClock / *divider);
    return HXNOERROR;
}

}  // namespace

int GainCode(const hxda::FixedPoint& gain) {
    const LONG whole = gain.integer + static_cast<LONG>(gain.fraction >> 31);
    switch (whole) {
        case 1:
            return 0;
        case 2:
            return 1;
        case 4:
            return 2;
        case 8:
            return 3;
        default:
            return -1;
    }
}

ULONG AdProgram::Prepare(hxda::ConfigurationBlock& block, ULONG inputs, USHORT enableShadow,
                         Registers* out) {
    // The channel count names the extra channels too: fewer than one analog input, or more
    // inputs than the board has, would let list words spill into other bits.
    const ULONG channels = block.numberOfChannels;
    if (channels < kExtraChannels + 1 || channels > inputs + kExtraChannels)
        return HXINVALIDCHANNEL;
    // Differential inputs pair two single-ended ones: a count naming one input leaves none.
    if (block.channelType == kChannelTypeDifferential && (channels - kExtraChannels) / 2 == 0)
        return HXINVALIDCHANNEL;

    const USHORT flow = block.dataFlow;
    if (flow != kFlowContinuous && flow != kFlowSingleValue && flow != kFlowPreTrigger &&
        flow != kFlowAboutTrigger)
        return HXINVALIDDATAFLOW;
    const bool scan = block.triggeredScanInUse != 0;
    const USHORT trigger = block.triggerSource;
    const USHORT mode = block.retriggerMode;
    const USHORT source = block.retriggerSource;
    if (mode == kRetriggerSource && !IsTrigger(source))
        return HXINVALIDRETRIGGER;
    if (!IsTrigger(trigger))
        return HXINVALIDTRIGGER;
    if (scan && mode == kRetriggerSource && trigger != kTriggerSoftware &&
        ((trigger == kTriggerExternal && source == kTriggerDigitalEvent) ||
         (trigger == kTriggerDigitalEvent && source == kTriggerExternal) ||
         (trigger == kTriggerThreshold && source == kTriggerExternal) ||
         source == kTriggerThreshold))
        return HXINVALIDTRIGGER;

    Registers r;
    r.enable = enableShadow;
    if (flow == kFlowContinuous && scan)
        r.enable =
            static_cast<USHORT>((enableShadow & 0xFF00) | ((block.multiscanCount - 1) & 0xFF));
    const bool bySource = mode == kRetriggerSource;
    USHORT control = 0x8000;
    if (block.channelType != kChannelTypeDifferential)
        control |= 0x0001;
    if (block.clockSource != kClockInternal)
        control |= 0x0004;
    if (trigger == kTriggerExternal || trigger == kTriggerThreshold ||
        (trigger == kTriggerSoftware && bySource &&
         (source == kTriggerExternal || source == kTriggerThreshold)))
        control |= 0x0008;
    if (trigger == kTriggerThreshold ||
        (trigger == kTriggerSoftware && bySource && source == kTriggerThreshold))
        control |= 0x0010;
    const bool prePost = flow == kFlowPreTrigger || flow == kFlowAboutTrigger;
    if (prePost || (flow == kFlowContinuous && scan &&
                    ((mode == kRetriggerScan && trigger != kTriggerSoftware) ||
                     (bySource && (source == kTriggerExternal || source == kTriggerDigitalEvent ||
                                   source == kTriggerThreshold)))))
        control |= 0x0020;
    if (trigger != kTriggerSoftware)
        control |= 0x0040;
    if (flow == kFlowContinuous && scan)
        control |= 0x0080;
    if (prePost)
        control |= 0x0100;

    if (block.clockSource == kClockInternal) {
        if (const ULONG refused = Divider(block.clockFrequency, &r.divider); refused != HXNOERROR)
            return refused;
    }
    const bool internalRetrigger =
        (flow == kFlowContinuous && scan && mode == kRetriggerInternal) ||
        (bySource && source == kTriggerSoftware);
    r.retrigger = r.divider;
    if (internalRetrigger) {
        if (const ULONG refused = Divider(block.retriggerFrequency, &r.retrigger);
            refused != HXNOERROR)
            return refused;
    }
    r.singleValue = flow == kFlowSingleValue;
    if (r.singleValue)
        control = static_cast<USHORT>((control & ~(0x0004 | 0x0040)) | 0x0100 | 0x8000);
    r.control = control;
    *out = r;
    return HXNOERROR;
}

void AdProgram::Take(const hxda::ConfigurationBlock& block, ULONG entries) {
    channels = block.numberOfChannels;
    singleEnded = block.channelType != kChannelTypeDifferential;
    analogChannels = singleEnded ? channels - kExtraChannels : (channels - kExtraChannels) / 2;
    softwareTrigger = block.triggerSource == kTriggerSoftware;
    if (block.dataFlow == kFlowSingleValue)
        return;
    listCount = entries < kAdListCapacity ? entries : kAdListCapacity;
    const auto* bytes = reinterpret_cast<const UCHAR*>(&block) + hxda::kListEntriesOffset;
    std::memcpy(list, bytes, listCount * sizeof(hxda::ChannelListEntry));
    twelveBit = block.resolution == 12;
    unipolar = block.rangeMinimum.integer == 0;
}

bool AdProgram::ListWord(ULONG i, USHORT* word) const {
    const hxda::ChannelListEntry& entry = list[i];
    const ULONG channel = entry.channel;
    USHORT w;
    if (channel < analogChannels) {
        const int gain = GainCode(entry.gain);
        if (gain < 0)
            return false;
        w = static_cast<USHORT>(channel | (gain << 5));
    } else if (channel >= channels - kExtraChannels && channel < channels) {
        w = kExtraWords[channel - (channels - kExtraChannels)];
    } else {
        return false;
    }
    if (entry.inhibited != 0)
        w |= kListInhibit;
    if (entry.synchronousDigitalIOValue != 0)
        w |= kListDigitalOut;
    *word = w;
    return true;
}

}  // namespace board
