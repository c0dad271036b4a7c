// Clock source, sample-clock and retrigger frequencies, and the external clock divider. A
// frequency is clamped into the board's limits (a value that is not a number becomes the
// minimum) and kept both as 32.32 and as f32; the form flag says which one a driver wrote back.
#include <cmath>

#include "core/capabilities.h"
#include "core/message_codes.h"
#include "core/message_layouts.h"
#include "hxda/api_status.h"
#include "settings/setting_rules.h"
#include "settings/setting_topics.h"

namespace hxda {
namespace {

double limit(const PersonalityRecord& p, std::uint32_t code) {
    return clockLimit(p, code - HXSSC_MAXFREQ);
}

// A clock limit as a whole number of hertz, truncated and kept within a word.
std::uint32_t wholeHertz(double hertz) {
    if (!(hertz > 0))
        return 0;
    return hertz >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(hertz);
}

double clampFrequency(double hertz, double minimum, double maximum) {
    if (std::isnan(hertz))
        return minimum;
    if (hertz > maximum)
        hertz = maximum;
    if (hertz < minimum)
        hertz = minimum;
    return hertz;
}

struct Frequency {
    std::uint16_t& form;
    float& single;
    FixedPoint& pair;
};

Frequency clockFrequency(ConfigurationBlock& block) {
    return {block.clockFrequencyForm, block.clockFrequencyFloat, block.clockFrequency};
}

Frequency retriggerFrequency(ConfigurationBlock& block) {
    return {block.retriggerFrequencyForm, block.retriggerFrequencyFloat, block.retriggerFrequency};
}

// Rule 2 compares the clamped value with the stored 32.32 value; an accepted value is stored and
// the state becomes HXSTATE_NEEDSCONFIG even when it is unchanged.
ApiStatus setFrequency(SubsystemRecord& subsystem, bool capable, Frequency field, double hertz) {
    const FixedPoint wanted = encodeFixedPoint(hertz);
    if (!capable) {
        const bool stored =
            field.pair.integer == wanted.integer && field.pair.fraction == wanted.fraction;
        return stored ? ApiStatus(HXNOERROR) : ApiStatus(HXNOTSUPPORTED);
    }
    if (isRunning(subsystem))
        return HXSUBSYSRUNNING;
    field.pair = wanted;
    field.single = static_cast<float>(hertz);
    field.form = 0;
    needsConfiguration(subsystem);
    return HXNOERROR;
}

ApiStatus answerFrequency(MessageRecord& message, Frequency field) {
    message.set(FrequencyWords::kHertz,
                field.form == 1 ? static_cast<double>(field.single) : decodeFixedPoint(field.pair));
    return HXNOERROR;
}

ApiStatus setClockSource(SubsystemRecord& subsystem, std::uint32_t source) {
    const PersonalityRecord& p = subsystem.personality;
    const std::uint64_t lastExtra =
        std::uint64_t{HXCLK_EXTERNAL} + capability(p, HXSSC_NUMEXTRACLOCKS);
    if (source < HXCLK_INTERNAL || source > lastExtra)
        return HXINVALIDCLOCKSOURCE;
    bool capable = true;
    if (source == HXCLK_INTERNAL)
        capable = capability(p, HXSSC_CLOCK_INTERNAL) != 0;
    else if (source == HXCLK_EXTERNAL)
        capable = capability(p, HXSSC_CLOCK_EXTERNAL) != 0;
    return storeIfCapable(subsystem, capable, subsystem.block().clockSource, source);
}

ApiStatus setDivider(SubsystemRecord& subsystem, std::uint32_t divider) {
    const PersonalityRecord& p = subsystem.personality;
    if (divider == 0 || divider > limit(p, HXSSC_MAXDIVIDER) ||
        divider < limit(p, HXSSC_MINDIVIDER))
        return HXINVALIDDIVIDER;
    return storeIfCapable(subsystem, capability(p, HXSSC_CLOCK_EXTERNAL) != 0,
                          subsystem.block().externalClockDivider, divider);
}

}  // namespace

ApiStatus clockSetting(SubsystemRecord& subsystem, std::uint32_t code, MessageRecord& message) {
    const PersonalityRecord& p = subsystem.personality;
    ConfigurationBlock& block = subsystem.block();
    const bool internal = capability(p, HXSSC_CLOCK_INTERNAL) != 0;
    const bool external = capability(p, HXSSC_CLOCK_EXTERNAL) != 0;
    switch (code) {
        case HXDRV_SETCLOCKSOURCE:
            return setClockSource(subsystem, message.get(SettingWords::kValue));
        case HXDRV_GETCLOCKSOURCE:
            if (!internal && !external)
                return HXNOTSUPPORTED;
            return answerWord(message, block.clockSource);
        case HXDRV_SETCLOCKFREQUENCY: {
            const double hertz = clampFrequency(message.get(FrequencyWords::kHertz),
                                                limit(p, HXSSC_MINFREQ), limit(p, HXSSC_MAXFREQ));
            const ApiStatus status =
                setFrequency(subsystem, internal, clockFrequency(block), hertz);
            if (status == HXNOERROR && internal)
                block.baseClock = wholeHertz(limit(p, HXSSC_BASECLOCK));
            return status;
        }
        case HXDRV_GETCLOCKFREQUENCY:
            if (!internal)
                return HXNOTSUPPORTED;
            return answerFrequency(message, clockFrequency(block));
        case HXDRV_SETRETRIGGERFREQUENCY: {
            const double hertz =
                clampFrequency(message.get(FrequencyWords::kHertz),
                               limit(p, HXSSC_MINRETRIGGERFREQ), limit(p, HXSSC_MAXRETRIGGERFREQ));
            const bool capable = internal && capability(p, HXSSC_TRIGGEREDSCAN) != 0;
            return setFrequency(subsystem, capable, retriggerFrequency(block), hertz);
        }
        case HXDRV_GETRETRIGGERFREQUENCY:
            return answerFrequency(message, retriggerFrequency(block));
        case HXDRV_SETEXTERNCLOCKDIVIDER:
            return setDivider(subsystem, message.get(SettingWords::kValue));
        case HXDRV_GETEXTERNCLOCKDIVIDER:
            if (!external)
                return HXNOTSUPPORTED;
            return answerWord(message, block.externalClockDivider);
        default:
            return HXNOTSUPPORTED;
    }
}

}  // namespace hxda
