#include <cmath>

#include "core/capabilities.h"
#include "settings/settings_half.h"

namespace hxda {
namespace {

void answerInteger(MessageRecord& message, std::uint32_t value) {
    message.w[0] = value;
    message.setDouble(2, static_cast<double>(value));
}

void answerDouble(MessageRecord& message, double value) {
    message.setDouble(2, value);
    const double whole = std::trunc(value);
    message.w[0] = whole >= 0 ? static_cast<std::uint32_t>(std::fmin(whole, 4294967295.0))
                              : static_cast<std::uint32_t>(
                                    static_cast<std::int32_t>(std::fmax(whole, -2147483648.0)));
}

// Entry `index` of a table of `count` doubles; false when there is no such entry.
bool tableEntry(const double* table, std::uint32_t count, std::uint32_t index, double* value) {
    if (!table || index >= count)
        return false;
    *value = table[index];
    return true;
}

}  // namespace

std::uint32_t getSubsystemCapability(const SubsystemRecord& subsystem, MessageRecord& message) {
    const PersonalityRecord& p = subsystem.personality;
    const std::uint32_t code = message.w[0];
    const std::uint32_t index = message.w[1];
    double value = 0;
    if (code <= 60 || (code >= 73 && code <= 101)) {
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
