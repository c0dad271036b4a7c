#include <cmath>
#include <limits>

#include "core/capabilities.h"
#include "core/message_layouts.h"
#include "hxda/api_status.h"
#include "settings/settings_half.h"

namespace hxda {
namespace {

void answerInteger(MessageRecord& message, std::uint32_t value) {
    message.set(CapabilityWords::kInteger, value);
    message.set(CapabilityWords::kDouble, static_cast<double>(value));
}

// The integer form of a double answer: truncated toward zero and kept within the word, a negative
// value as its 32-bit two's complement.
std::uint32_t wholePart(double value) {
    constexpr double kHighest = std::numeric_limits<std::uint32_t>::max();
    constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
    const double whole = std::trunc(value);
    if (whole >= 0)
        return static_cast<std::uint32_t>(std::fmin(whole, kHighest));
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(std::fmax(whole, kLowest)));
}

void answerDouble(MessageRecord& message, double value) {
    message.set(CapabilityWords::kDouble, value);
    message.set(CapabilityWords::kInteger, wholePart(value));
}

// Entry `index` of a table of `count` doubles; false when there is no such entry.
bool tableEntry(const double* table, std::uint32_t count, std::uint32_t index, double* value) {
    if (!table || index >= count)
        return false;
    *value = table[index];
    return true;
}

}  // namespace

ApiStatus getSubsystemCapability(const SubsystemRecord& subsystem, MessageRecord& message) {
    const PersonalityRecord& p = subsystem.personality;
    const std::uint32_t code = message.get(CapabilityWords::kCode);
    const std::uint32_t index = message.get(CapabilityWords::kIndex);
    double value = 0;
    if (code < HXSSC_MAXFREQ || (code >= HXSSC_PULSE_ACTIVELOW && code <= HXSSC_QUADDECODER)) {
        answerInteger(message, capability(p, code));
        return HXNOERROR;
    }
    if (code >= HXSSC_MAXFREQ && code <= HXSSC_BASECLOCK) {
        answerDouble(message, clockLimit(p, code - HXSSC_MAXFREQ));
        return HXNOERROR;
    }
    switch (code) {
        case HXSSC_RANGEMIN:
        case HXSSC_RANGEMAX: {
            const double* const* perChannel =
                code == HXSSC_RANGEMIN ? p.rangeMinima : p.rangeMaxima;
            const double* table = perChannel ? perChannel[0] : nullptr;
            if (!tableEntry(table, capability(p, HXSSC_NUMRANGES), index, &value))
                return HXINVALIDRANGEINDEX;
            break;
        }
        case HXSSC_FILTER:
            if (!tableEntry(p.filters, capability(p, HXSSC_NUMFILTERS), index, &value))
                return HXINVALIDFILTERINDEX;
            break;
        case HXSSC_GAIN:
            if (!tableEntry(p.gains, capability(p, HXSSC_NUMGAINS), index, &value))
                return HXINVALIDGAININDEX;
            break;
        case HXSSC_RESOLUTION:
            if (!tableEntry(p.resolutions, capability(p, HXSSC_NUMRESOLUTIONS), index, &value))
                return HXBADRESOLUTION;
            break;
        default:
            return HXINVALIDSSCAP;
    }
    answerDouble(message, value);
    return HXNOERROR;
}

}  // namespace hxda
