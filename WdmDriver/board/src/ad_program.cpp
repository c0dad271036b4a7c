#include "board/ad_program.h"

#include <cstring>

#include "hxdacodes.h"

namespace board {

namespace {

constexpr double kBaseClock = kBaseClockHz;
// Words of the extra channels c - 11 ... c - 1: the digital input port, then each counter's
// halves.
constexpr USHORT kExtraWords[kExtraChannels] = {
    kListDinPort,       ListCounterLow(0), ListCounterHigh(0), ListCounterLow(1),
    ListCounterHigh(1), ListCounterLow(2), ListCounterHigh(2), ListCounterLow(3),
    ListCounterHigh(3), ListCounterLow(4), ListCounterHigh(4)};
// The gain codes of gains 1, 2, 4 and 8.
constexpr LONG kGains[] = {1, 2, 4, 8};
// A/D resolution whose samples the library converts from twelve bits.
constexpr USHORT kTwelveBits = 12;

double Value(const hxda::FixedPoint& f) {
    return static_cast<double>(f.integer) + static_cast<double>(f.fraction) / hxda::kFixedPointUnit;
}

bool IsTrigger(USHORT source) {
    return source == HXTRIG_SOFTWARE || source == HXTRIG_EXTERNAL || source == HXTRIG_EXTRA ||
           source == HXTRIG_THRESHOLDPOS;
}

// trunc(18 MHz / f) for a frequency the clock can make, with the frequency produced written
// back; an API status.
hxda::ApiStatus Divider(hxda::FixedPoint& frequency, ULONG* divider) {
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
    for (int code = 0; code < static_cast<int>(std::size(kGains)); ++code)
        if (kGains[code] == whole)
            return code;
    return -1;
}

hxda::ApiStatus AdProgram::Prepare(hxda::ConfigurationBlock& block, ULONG inputs,
                                   USHORT enableShadow, Registers* out) {
    // The channel count names the extra channels too: fewer than one analog input, or more
    // inputs than the board has, would let list words spill into other bits.
    const ULONG channels = block.numberOfChannels;
    if (channels < kExtraChannels + 1 || channels > inputs + kExtraChannels)
        return HXINVALIDCHANNEL;
    // Differential inputs pair two single-ended ones: a count naming one input leaves none.
    if (block.channelType == HXCHANTYPE_DIFFERENTIAL && (channels - kExtraChannels) / 2 == 0)
        return HXINVALIDCHANNEL;

    const USHORT flow = block.dataFlow;
    if (flow != HXDF_CONTINUOUS && flow != HXDF_SINGLEVALUE && flow != HXDF_CONTPRETRIG &&
        flow != HXDF_CONTABOUTTRIG)
        return HXINVALIDDATAFLOW;
    const bool scan = block.triggeredScanInUse != 0;
    const USHORT trigger = block.triggerSource;
    const USHORT mode = block.retriggerMode;
    const USHORT source = block.retriggerSource;
    if (mode == HXRETRIGGER_EXTRA && !IsTrigger(source))
        return HXINVALIDRETRIGGER;
    if (!IsTrigger(trigger))
        return HXINVALIDTRIGGER;
    if (scan && mode == HXRETRIGGER_EXTRA && trigger != HXTRIG_SOFTWARE &&
        ((trigger == HXTRIG_EXTERNAL && source == HXTRIG_EXTRA) ||
         (trigger == HXTRIG_EXTRA && source == HXTRIG_EXTERNAL) ||
         (trigger == HXTRIG_THRESHOLDPOS && source == HXTRIG_EXTERNAL) ||
         source == HXTRIG_THRESHOLDPOS))
        return HXINVALIDTRIGGER;

    Registers r;
    r.enable = enableShadow;
    if (flow == HXDF_CONTINUOUS && scan)
        r.enable = static_cast<USHORT>((enableShadow & ~kEnableScanCountMask) |
                                       ((block.multiscanCount - 1) & kEnableScanCountMask));
    const bool bySource = mode == HXRETRIGGER_EXTRA;
    USHORT control = kAdControlProgram;
    if (block.channelType != HXCHANTYPE_DIFFERENTIAL)
        control |= kAdControlSingleEnded;
    if (block.clockSource != HXCLK_INTERNAL)
        control |= kAdControlExternalClock;
    if (trigger == HXTRIG_EXTERNAL || trigger == HXTRIG_THRESHOLDPOS ||
        (trigger == HXTRIG_SOFTWARE && bySource &&
         (source == HXTRIG_EXTERNAL || source == HXTRIG_THRESHOLDPOS)))
        control |= kAdControlExternalTrigger;
    if (trigger == HXTRIG_THRESHOLDPOS ||
        (trigger == HXTRIG_SOFTWARE && bySource && source == HXTRIG_THRESHOLDPOS))
        control |= kAdControlThresholdTrigger;
    const bool prePost = flow == HXDF_CONTPRETRIG || flow == HXDF_CONTABOUTTRIG;
    if (prePost || (flow == HXDF_CONTINUOUS && scan &&
                    ((mode == HXRETRIGGER_SCANPERTRIGGER && trigger != HXTRIG_SOFTWARE) ||
                     (bySource && (source == HXTRIG_EXTERNAL || source == HXTRIG_EXTRA ||
                                   source == HXTRIG_THRESHOLDPOS)))))
        control |= kAdControlHardwareRetrigger;
    if (trigger != HXTRIG_SOFTWARE)
        control |= kAdControlHardwareTrigger;
    if (flow == HXDF_CONTINUOUS && scan)
        control |= kAdControlTriggeredScan;
    if (prePost)
        control |= kAdControlPreTrigger;

    if (block.clockSource == HXCLK_INTERNAL) {
        if (const hxda::ApiStatus refused = Divider(block.clockFrequency, &r.divider);
            refused != HXNOERROR)
            return refused;
    }
    const bool internalRetrigger =
        (flow == HXDF_CONTINUOUS && scan && mode == HXRETRIGGER_INTERNAL) ||
        (bySource && source == HXTRIG_SOFTWARE);
    r.retrigger = r.divider;
    if (internalRetrigger) {
        if (const hxda::ApiStatus refused = Divider(block.retriggerFrequency, &r.retrigger);
            refused != HXNOERROR)
            return refused;
    }
    r.singleValue = flow == HXDF_SINGLEVALUE;
    if (r.singleValue)
        control =
            static_cast<USHORT>((control & ~(kAdControlExternalClock | kAdControlHardwareTrigger)) |
                                kAdControlPreTrigger | kAdControlProgram);
    r.control = control;
    *out = r;
    return HXNOERROR;
}

void AdProgram::Take(const hxda::ConfigurationBlock& block, ULONG entries) {
    channels = block.numberOfChannels;
    singleEnded = block.channelType != HXCHANTYPE_DIFFERENTIAL;
    analogChannels = singleEnded ? channels - kExtraChannels : (channels - kExtraChannels) / 2;
    softwareTrigger = block.triggerSource == HXTRIG_SOFTWARE;
    if (block.dataFlow == HXDF_SINGLEVALUE)
        return;
    listCount = entries < kAdListCapacity ? entries : kAdListCapacity;
    const auto* bytes = reinterpret_cast<const UCHAR*>(&block) + hxda::kListEntriesOffset;
    std::memcpy(list, bytes, listCount * sizeof(hxda::ChannelListEntry));
    twelveBit = block.resolution == kTwelveBits;
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
        w = static_cast<USHORT>(channel | (gain << kListGainShift));
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
