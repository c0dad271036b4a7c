// Trigger, pre-trigger and retrigger sources, which share one set of values, and the retrigger
// mode.
#include "core/capabilities.h"
#include "core/message_codes.h"
#include "core/message_layouts.h"
#include "hxda/api_status.h"
#include "settings/setting_rules.h"
#include "settings/setting_topics.h"

namespace hxda {
namespace {

// Tests a trigger source: HXINVALIDTRIGGER for a value that is no source at all (302 among them);
// otherwise 0, with *capable telling whether the board has that source.
ApiStatus testTriggerSource(const PersonalityRecord& p, std::uint32_t source, bool* capable) {
    std::uint32_t code = 0;
    switch (source) {
        case HXTRIG_SOFTWARE:
            code = HXSSC_TRIGGER_SOFTWARE;
            break;
        case HXTRIG_EXTERNAL:
            code = HXSSC_TRIGGER_EXTERNAL;
            break;
        case HXTRIG_ANALOGEVENT:
            code = HXSSC_TRIGGER_ANALOGEVENT;
            break;
        case HXTRIG_DIGITALEVENT:
            code = HXSSC_TRIGGER_DIGITALEVENT;
            break;
        case HXTRIG_TIMEREVENT:
            code = HXSSC_TRIGGER_TIMEREVENT;
            break;
        case HXTRIG_THRESHOLDPOS:
            code = HXSSC_TRIGGER_THRESHOLDPOS;
            break;
        case HXTRIG_THRESHOLDNEG:
            code = HXSSC_TRIGGER_THRESHOLDNEG;
            break;
        default: {
            // The extra triggers 306 .. 305 + count; 306 itself names the first extra trigger
            // even on a board that has none.
            const std::uint32_t extras = capability(p, HXSSC_NUMEXTRATRIGGERS);
            if (source == HXTRIG_EXTRA) {
                *capable = extras != 0;
                return HXNOERROR;
            }
            if (source > HXTRIG_EXTRA && source - (HXTRIG_EXTRA - 1) <= extras) {
                *capable = true;
                return HXNOERROR;
            }
            return HXINVALIDTRIGGER;
        }
    }
    *capable = capability(p, code) != 0;
    return HXNOERROR;
}

// Whether the subsystem has any trigger at all, as the Gets of the sources ask it.
bool hasAnyTrigger(const PersonalityRecord& p) {
    for (const std::uint32_t code :
         {HXSSC_TRIGGER_THRESHOLDPOS, HXSSC_TRIGGER_THRESHOLDNEG, HXSSC_TRIGGER_SOFTWARE,
          HXSSC_TRIGGER_EXTERNAL, HXSSC_TRIGGER_ANALOGEVENT, HXSSC_NUMEXTRATRIGGERS})
        if (capability(p, code) != 0)
            return true;
    return false;
}

bool hasPretrigger(const PersonalityRecord& p) {
    return capability(p, HXSSC_DATAFLOW_CONTPRETRIG) != 0 ||
           capability(p, HXSSC_DATAFLOW_CONTABOUTTRIG) != 0;
}

bool hasRetriggerSource(const PersonalityRecord& p) {
    return capability(p, HXSSC_RETRIGGER_EXTRA) != 0;
}

// `available`: the further capability the setting itself needs.
ApiStatus setSource(SubsystemRecord& subsystem, bool available, std::uint16_t& field,
                    std::uint32_t source) {
    bool capable = false;
    if (const ApiStatus status = testTriggerSource(subsystem.personality, source, &capable))
        return status;
    return storeIfCapable(subsystem, available && capable, field, source);
}

// The mode is stored whatever the state, and a change does not ask for a new configuration.
ApiStatus setRetriggerMode(SubsystemRecord& subsystem, std::uint32_t mode) {
    const PersonalityRecord& p = subsystem.personality;
    std::uint32_t code = 0;
    switch (mode) {
        case HXRETRIGGER_INTERNAL:
            code = HXSSC_RETRIGGER_INTERNAL;
            break;
        case HXRETRIGGER_SCANPERTRIGGER:
            code = HXSSC_RETRIGGER_SCANPERTRIGGER;
            break;
        case HXRETRIGGER_EXTRA:
            code = HXSSC_RETRIGGER_EXTRA;
            break;
        default:
            return HXINVALIDRETRIGGERMODE;
    }
    std::uint16_t& stored = subsystem.block().retriggerMode;
    if (capability(p, code) == 0)
        return stored == mode ? ApiStatus(HXNOERROR) : ApiStatus(HXNOTSUPPORTED);
    stored = static_cast<std::uint16_t>(mode);
    return HXNOERROR;
}

}  // namespace

ApiStatus triggerSetting(SubsystemRecord& subsystem, std::uint32_t code, MessageRecord& message) {
    const PersonalityRecord& p = subsystem.personality;
    ConfigurationBlock& block = subsystem.block();
    switch (code) {
        case HXDRV_SETTRIGGER:
            return setSource(subsystem, true, block.triggerSource,
                             message.get(SettingWords::kValue));
        case HXDRV_GETTRIGGER:
            if (!hasAnyTrigger(p))
                return HXNOTSUPPORTED;
            return answerWord(message, block.triggerSource);
        case HXDRV_SETPRETRIGGERSOURCE:
            return setSource(subsystem, hasPretrigger(p), block.pretriggerSource,
                             message.get(SettingWords::kValue));
        case HXDRV_GETPRETRIGGERSOURCE:
            if (!hasPretrigger(p) || !hasAnyTrigger(p))
                return HXNOTSUPPORTED;
            return answerWord(message, block.pretriggerSource);
        case HXDRV_SETRETRIGGERSOURCE:
            return setSource(subsystem, hasRetriggerSource(p), block.retriggerSource,
                             message.get(SettingWords::kValue));
        case HXDRV_GETRETRIGGERSOURCE:
            if (!hasRetriggerSource(p) || !hasAnyTrigger(p))
                return HXNOTSUPPORTED;
            return answerWord(message, block.retriggerSource);
        case HXDRV_SETRETRIGGERMODE:
            return setRetriggerMode(subsystem, message.get(SettingWords::kValue));
        case HXDRV_GETRETRIGGERMODE:
            return answerWord(message, block.retriggerMode);
        default:
            return HXNOTSUPPORTED;
    }
}

}  // namespace hxda
