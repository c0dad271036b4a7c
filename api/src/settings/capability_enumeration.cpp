#include "settings/capability_enumeration.h"

#include <mutex>

#include "core/engine.h"
#include "core/message_layouts.h"
#include "hxda/api_status.h"
#include "win32/pointer_checks.h"

namespace hxda {
namespace {

constexpr std::uint32_t kSubsystemTypes = 6;

// Capability `code` (with table index `index`) as a double.
ApiStatus query(HDASS hDass, std::uint32_t code, std::uint32_t index, double* value) {
    MessageRecord message;
    message.set(CapabilityWords::kCode, code);
    message.set(CapabilityWords::kIndex, index);
    const ApiStatus status = engineCall(hDass, HXDRV_GETSSCAPS, message);
    *value = message.get(CapabilityWords::kDouble);
    return status;
}

struct EnumeratedTable {
    std::uint32_t countCode;
    std::uint32_t firstValue;
    std::uint32_t secondValue;  // 0: the second value is 0.0
};

bool tableOfKind(std::uint32_t kind, EnumeratedTable* table) {
    switch (kind) {
        case HXENUMCAP_FILTERS:
            *table = {HXSSC_NUMFILTERS, HXSSC_FILTER, 0};
            return true;
        case HXENUMCAP_RANGES:
            *table = {HXSSC_NUMRANGES, HXSSC_RANGEMAX, HXSSC_RANGEMIN};
            return true;
        case HXENUMCAP_GAINS:
            *table = {HXSSC_NUMGAINS, HXSSC_GAIN, 0};
            return true;
        case HXENUMCAP_RESOLUTIONS:
            *table = {HXSSC_NUMRESOLUTIONS, HXSSC_RESOLUTION, 0};
            return true;
        default:
            return false;
    }
}

}  // namespace

ApiStatus deviceElementCount(HDEV hDev, std::int32_t kind, std::uint32_t* count) {
    const std::shared_ptr<DeviceRecord> device = findDevice(hDev);
    if (!device)
        return HXINVALIDDEVHANDLE;
    // The counts live in the extension library, which a terminate on another thread unloads.
    std::lock_guard guard(device->lifetime);
    if (device->closed)
        return HXINVALIDDEVHANDLE;
    const std::uint32_t* counts = device->subsystemCounts;
    std::uint32_t answer = 0;
    if (kind == HXDC_ALLELEMENTS) {
        for (std::uint32_t type = 0; counts && type < kSubsystemTypes; ++type)
            answer += counts[type];
    } else if (kind >= 0 && static_cast<std::uint32_t>(kind) < kSubsystemTypes) {
        answer = counts ? counts[kind] : 0;
    } else {
        return HXINVALIDSUBSYS;
    }
    if (count)
        *count = answer;
    return HXNOERROR;
}

ApiStatus enumerateCapabilities(HDASS hDass, std::uint32_t kind, CapsEnumProc proc, LPARAM user) {
    if (!findSubsystem(hDass))
        return HXINVALIDSSHANDLE;
    if (IsBadCodePtr(reinterpret_cast<FARPROC>(proc)))
        return HXNULLENUMPROC;
    EnumeratedTable table{};
    if (!tableOfKind(kind, &table))
        return HXCANTENUMCAP;
    double entries = 0;
    if (const ApiStatus status = query(hDass, table.countCode, 0, &entries))
        return status;
    const auto count = static_cast<std::uint32_t>(entries);
    for (std::uint32_t i = 0; i < count; ++i) {
        double first = 0;
        double second = 0;
        if (const ApiStatus status = query(hDass, table.firstValue, i, &first))
            return status;
        if (table.secondValue != 0)
            if (const ApiStatus status = query(hDass, table.secondValue, i, &second))
                return status;
        if (!proc(kind, first, second, user))
            break;
    }
    return HXNOERROR;
}

}  // namespace hxda
