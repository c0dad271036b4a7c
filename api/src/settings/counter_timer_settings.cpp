// Counter/timer settings: gate, pulse type and width, counter/timer mode, cascade mode and the
// measure edges exist only on a counter/timer subsystem that is not a quadrature decoder; the
// others answer HXNOTSUPPORTED. The gate-type and pulse-type Sets skip that test and go by
// capability alone. The quadrature decoder is set in one message on the decoders.
#include "core/capabilities.h"
#include "core/message_codes.h"
#include "core/message_layouts.h"
#include "hxda/api_status.h"
#include "settings/setting_rules.h"
#include "settings/setting_topics.h"

namespace hxda {
namespace {

bool isCounterTimer(const SubsystemRecord& subsystem) {
    return subsystem.type == HXSS_CT && capability(subsystem.personality, HXSSC_QUADDECODER) == 0;
}

ApiStatus setGate(SubsystemRecord& subsystem, std::uint32_t gate) {
    if (gate < HXGATE_NONE || gate > HXGATE_LEVELCHANGEDEBOUNCE)
        return HXINVALIDGATE;
    // Gate v needs capability v - 425: HXSSC_GATE_NONE for 500 ... _LEVELCHANGEDEBOUNCE for 510.
    const bool capable = capability(subsystem.personality, gate - 425) != 0;
    return storeIfCapable(subsystem, capable, subsystem.block().gateType, gate);
}

ApiStatus setPulseType(SubsystemRecord& subsystem, std::uint32_t type) {
    std::uint32_t code = 0;
    if (type == HXPULSE_ACTIVELOW)
        code = HXSSC_PULSE_ACTIVELOW;
    else if (type == HXPULSE_ACTIVEHIGH)
        code = HXSSC_PULSE_ACTIVEHIGH;
    else
        return HXINVALIDPULSETYPE;
    return storeIfCapable(subsystem, capability(subsystem.personality, code) != 0,
                          subsystem.block().pulseType, type);
}

// A duty cycle in per cent; a counter/timer with a fixed pulse width takes none.
ApiStatus setPulseWidth(SubsystemRecord& subsystem, std::uint32_t width) {
    if (width > 100 || capability(subsystem.personality, HXSSC_FIXEDPULSEWIDTH) != 0)
        return HXINVALIDPULSEWIDTH;
    return storeSetting(subsystem, subsystem.block().pulseWidth, width);
}

ApiStatus setCounterMode(SubsystemRecord& subsystem, std::uint32_t mode) {
    const PersonalityRecord& p = subsystem.personality;
    std::uint32_t available = 0;
    switch (mode) {
        case HXCTMODE_COUNTEVENTS:
            available = capability(p, HXSSC_CTMODE_COUNTEVENTS);
            break;
        case HXCTMODE_RATE:
            available = capability(p, HXSSC_CTMODE_RATE);
            break;
        case HXCTMODE_ONESHOT:
            available = capability(p, HXSSC_CTMODE_ONESHOT);
            break;
        case HXCTMODE_REPEATONESHOT:
            available = capability(p, HXSSC_CTMODE_REPEATONESHOT);
            break;
        case HXCTMODE_UPDOWN:
            available = capability(p, HXSSC_CTMODE_UPDOWN);
            break;
        case HXCTMODE_EDGETOEDGE:
            available = capability(p, HXSSC_CTMODE_EDGETOEDGE);
            break;
        case HXCTMODE_CONTMEASURE:
            available = capability(p, HXSSC_CTMODE_CONTMEASURE);
            break;
        default:
            return HXINVALIDCOUNTERMODE;
    }
    return storeIfCapable(subsystem, available != 0, subsystem.block().counterMode, mode);
}

ApiStatus setCascade(SubsystemRecord& subsystem, std::uint32_t mode) {
    if (mode != HXCASCADE_WITHNEXT && mode != HXCASCADE_SINGLE)
        return HXINVALIDCASCADEMODE;
    const bool capable =
        mode == HXCASCADE_SINGLE || capability(subsystem.personality, HXSSC_CASCADE) != 0;
    return storeIfCapable(subsystem, capable, subsystem.block().cascadeMode, mode);
}

// Edges 750-753 are available when bit 1, 2, 4 or 8 of the low byte of the edge-to-edge
// capability is set. A stop edge v also needs capability v - 675 (the gate capabilities
// HXSSC_GATE_NONE .. HXSSC_GATE_RISINGEDGE).
ApiStatus setEdge(SubsystemRecord& subsystem, std::uint16_t& field, std::uint32_t edge,
                  bool stopEdge) {
    const PersonalityRecord& p = subsystem.personality;
    if (edge < HXEDGE_GATERISING || edge > HXEDGE_CLOCKFALLING)
        return HXINVALIDEDGE;
    const std::uint32_t bit = 1u << (edge - HXEDGE_GATERISING);
    if ((capability(p, HXSSC_CTMODE_EDGETOEDGE) & 0xFFu & bit) == 0)
        return HXINVALIDEDGE;
    const bool capable = !stopEdge || capability(p, edge - 675) != 0;
    return storeIfCapable(subsystem, capable, field, edge);
}

// Prescale and x4 flag are taken as given; the state becomes HXSTATE_NEEDSCONFIG even when
// nothing changed.
ApiStatus setQuadrature(SubsystemRecord& subsystem, const MessageRecord& message) {
    if (capability(subsystem.personality, HXSSC_QUADDECODER) == 0)
        return HXNOTSUPPORTED;
    if (isRunning(subsystem))
        return HXSUBSYSRUNNING;
    const std::uint32_t indexMode = message.get(QuadratureWords::kIndexMode);
    if (indexMode < HXQUADINDEX_DISABLED || indexMode > HXQUADINDEX_FALLINGEDGE)
        return HXINVALIDINDEX;
    ConfigurationBlock& block = subsystem.block();
    block.quadratureClockPrescale =
        static_cast<std::uint16_t>(message.get(QuadratureWords::kPrescale));
    block.quadratureX4Scaling = static_cast<std::uint8_t>(message.get(QuadratureWords::kX4Scaling));
    block.quadratureIndexMode = static_cast<std::uint16_t>(indexMode);
    needsConfiguration(subsystem);
    return HXNOERROR;
}

}  // namespace

ApiStatus counterTimerSetting(SubsystemRecord& subsystem, std::uint32_t code,
                              MessageRecord& message) {
    ConfigurationBlock& block = subsystem.block();
    const std::uint32_t value = message.get(SettingWords::kValue);
    switch (code) {
        case HXDRV_SETGATETYPE:
            return setGate(subsystem, value);
        case HXDRV_SETPULSETYPE:
            return setPulseType(subsystem, value);
        case HXDRV_SETQUADRATURE:
            return setQuadrature(subsystem, message);
        default:
            break;
    }
    if (!isCounterTimer(subsystem))
        return HXNOTSUPPORTED;
    switch (code) {
        case HXDRV_GETGATETYPE:
            return answerWord(message, block.gateType);
        case HXDRV_GETPULSETYPE:
            return answerWord(message, block.pulseType);
        case HXDRV_SETPULSEWIDTH:
            return setPulseWidth(subsystem, value);
        case HXDRV_GETPULSEWIDTH:
            return answerWord(message, block.pulseWidth);
        case HXDRV_SETCOUNTERMODE:
            return setCounterMode(subsystem, value);
        case HXDRV_GETCOUNTERMODE:
            return answerWord(message, block.counterMode);
        case HXDRV_SETCASCADEMODE:
            return setCascade(subsystem, value);
        case HXDRV_GETCASCADEMODE:
            return answerWord(message, capability(subsystem.personality, HXSSC_CASCADE) != 0
                                           ? block.cascadeMode
                                           : HXCASCADE_SINGLE);
        case HXDRV_SETSTARTEDGE:
            return setEdge(subsystem, block.measureStartEdge, value, false);
        case HXDRV_GETSTARTEDGE:
            return answerWord(message, block.measureStartEdge);
        case HXDRV_SETSTOPEDGE:
            return setEdge(subsystem, block.measureStopEdge, value, true);
        case HXDRV_GETSTOPEDGE:
            return answerWord(message, block.measureStopEdge);
        default:
            return HXNOTSUPPORTED;
    }
}

}  // namespace hxda
