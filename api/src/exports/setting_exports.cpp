// Exported setting functions: each packs its arguments into the message record of its code.
#include "core/message_codes.h"
#include "exports/message_calls.h"
#include "hxda/api_status.h"
#include "settings/capability_enumeration.h"

using namespace hxda;

#define HXDA_WORD_SETTING(Name, SetCode, GetCode)                       \
    extern "C" HXSTATUS HXAPI hxDaSet##Name(HDASS hDass, UINT value) {  \
        return sendWord(hDass, SetCode, value).code();                  \
    }                                                                   \
    extern "C" HXSTATUS HXAPI hxDaGet##Name(HDASS hDass, UINT* value) { \
        return receiveWord(hDass, GetCode, value).code();               \
    }

HXDA_WORD_SETTING(DmaUsage, HXDRV_SETDMAUSAGE, HXDRV_GETDMAUSAGE)
HXDA_WORD_SETTING(TriggeredScanUsage, HXDRV_SETTRIGGEREDSCANUSAGE, HXDRV_GETTRIGGEREDSCANUSAGE)
HXDA_WORD_SETTING(ChannelListSize, HXDRV_SETCHANNELLISTSIZE, HXDRV_GETCHANNELLISTSIZE)
HXDA_WORD_SETTING(ChannelType, HXDRV_SETCHANNELTYPE, HXDRV_GETCHANNELTYPE)
HXDA_WORD_SETTING(Encoding, HXDRV_SETENCODING, HXDRV_GETENCODING)
HXDA_WORD_SETTING(Trigger, HXDRV_SETTRIGGER, HXDRV_GETTRIGGER)
HXDA_WORD_SETTING(Resolution, HXDRV_SETRESOLUTION, HXDRV_GETRESOLUTION)
HXDA_WORD_SETTING(ClockSource, HXDRV_SETCLOCKSOURCE, HXDRV_GETCLOCKSOURCE)
HXDA_WORD_SETTING(ExternalClockDivider, HXDRV_SETEXTERNCLOCKDIVIDER, HXDRV_GETEXTERNCLOCKDIVIDER)
HXDA_WORD_SETTING(GateType, HXDRV_SETGATETYPE, HXDRV_GETGATETYPE)
HXDA_WORD_SETTING(PulseType, HXDRV_SETPULSETYPE, HXDRV_GETPULSETYPE)
HXDA_WORD_SETTING(CTMode, HXDRV_SETCOUNTERMODE, HXDRV_GETCOUNTERMODE)
HXDA_WORD_SETTING(CascadeMode, HXDRV_SETCASCADEMODE, HXDRV_GETCASCADEMODE)
HXDA_WORD_SETTING(WrapMode, HXDRV_SETWRAPMODE, HXDRV_GETWRAPMODE)
HXDA_WORD_SETTING(SynchronousDigitalIOUsage, HXDRV_SETSYNCHRONOUSDIOUSAGE,
                  HXDRV_GETSYNCHRONOUSDIOUSAGE)
HXDA_WORD_SETTING(RetriggerMode, HXDRV_SETRETRIGGERMODE, HXDRV_GETRETRIGGERMODE)
HXDA_WORD_SETTING(PretriggerSource, HXDRV_SETPRETRIGGERSOURCE, HXDRV_GETPRETRIGGERSOURCE)
HXDA_WORD_SETTING(MultiscanCount, HXDRV_SETMULTISCANCOUNT, HXDRV_GETMULTISCANCOUNT)
HXDA_WORD_SETTING(Retrigger, HXDRV_SETRETRIGGERSOURCE, HXDRV_GETRETRIGGERSOURCE)
HXDA_WORD_SETTING(SpecialVpiConfigMode, HXDRV_SETSPECIALVPICONFIGMODE,
                  HXDRV_GETSPECIALVPICONFIGMODE)
HXDA_WORD_SETTING(MeasureStartEdge, HXDRV_SETSTARTEDGE, HXDRV_GETSTARTEDGE)
HXDA_WORD_SETTING(MeasureStopEdge, HXDRV_SETSTOPEDGE, HXDRV_GETSTOPEDGE)

#undef HXDA_WORD_SETTING

// The two values between HXDF_SINGLEVALUE and HXDF_CONTPRETRIG are not data flows of this
// library; refused before any handle test.
extern "C" HXSTATUS HXAPI hxDaSetDataFlow(HDASS hDass, UINT value) {
    if (value > HXDF_SINGLEVALUE && value < HXDF_CONTPRETRIG)
        return HXNOTSUPPORTED;
    return sendWord(hDass, HXDRV_SETDATAFLOW, value).code();
}
extern "C" HXSTATUS HXAPI hxDaGetDataFlow(HDASS hDass, UINT* value) {
    return receiveWord(hDass, HXDRV_GETDATAFLOW, value).code();
}

extern "C" HXSTATUS HXAPI hxDaGetSSCaps(HDASS hDass, UINT capability, UINT* value) {
    MessageRecord message;
    message.set(CapabilityWords::kCode, capability);
    const ApiStatus status = engineCall(hDass, HXDRV_GETSSCAPS, message);
    if (status == HXNOERROR && value)
        *value = message.get(CapabilityWords::kInteger);
    return status.code();
}

// The table capabilities (HXSSC_RANGEMIN to HXSSC_RESOLUTION) answer their first entry here; the
// enumeration reads the others.
extern "C" HXSTATUS HXAPI hxDaGetSSCapsEx(HDASS hDass, UINT capability, double* value) {
    MessageRecord message;
    message.set(CapabilityWords::kCode, capability);
    const ApiStatus status = engineCall(hDass, HXDRV_GETSSCAPS, message);
    if (status == HXNOERROR && value)
        *value = message.get(CapabilityWords::kDouble);
    return status.code();
}

extern "C" HXSTATUS HXAPI hxDaSetChannelListEntry(HDASS hDass, UINT entry, UINT channel) {
    return sendEntryWord(hDass, HXDRV_SETCHANNELLISTENTRY, entry, channel).code();
}
extern "C" HXSTATUS HXAPI hxDaGetChannelListEntry(HDASS hDass, UINT entry, UINT* channel) {
    return receiveEntryWord(hDass, HXDRV_GETCHANNELLISTENTRY, entry, channel).code();
}
extern "C" HXSTATUS HXAPI hxDaSetChannelListEntryInhibit(HDASS hDass, UINT entry, UINT inhibit) {
    return sendEntryWord(hDass, HXDRV_SETCHANNELLISTINHIBIT, entry, inhibit).code();
}
extern "C" HXSTATUS HXAPI hxDaGetChannelListEntryInhibit(HDASS hDass, UINT entry, UINT* inhibit) {
    return receiveEntryWord(hDass, HXDRV_GETCHANNELLISTINHIBIT, entry, inhibit).code();
}
extern "C" HXSTATUS HXAPI hxDaSetDigitalIOListEntry(HDASS hDass, UINT entry, UINT value) {
    return sendEntryWord(hDass, HXDRV_SETDIGITALIOLISTENTRY, entry, value).code();
}
extern "C" HXSTATUS HXAPI hxDaGetDigitalIOListEntry(HDASS hDass, UINT entry, UINT* value) {
    return receiveEntryWord(hDass, HXDRV_GETDIGITALIOLISTENTRY, entry, value).code();
}

namespace {

ApiStatus sendEntryDouble(HDASS hDass, std::uint32_t code, UINT entry, double value) {
    MessageRecord message;
    message.set(EntryDoubleWords::kEntry, entry);
    message.set(EntryDoubleWords::kValue, value);
    return engineCall(hDass, code, message);
}

ApiStatus receiveEntryDouble(HDASS hDass, std::uint32_t code, UINT entry, double* value) {
    MessageRecord message;
    message.set(EntryDoubleWords::kEntry, entry);
    const ApiStatus status = engineCall(hDass, code, message);
    if (status == HXNOERROR && value)
        *value = message.get(EntryDoubleWords::kValue);
    return status;
}

ApiStatus sendRange(HDASS hDass, std::uint32_t code, UINT entry, double maximum, double minimum) {
    MessageRecord message;
    message.set(RangeWords::kEntry, entry);
    message.set(RangeWords::kMinimum, minimum);
    message.set(RangeWords::kMaximum, maximum);
    return engineCall(hDass, code, message);
}

ApiStatus receiveRange(HDASS hDass, std::uint32_t code, UINT entry, double* maximum,
                       double* minimum) {
    MessageRecord message;
    message.set(RangeWords::kEntry, entry);
    const ApiStatus status = engineCall(hDass, code, message);
    if (status == HXNOERROR) {
        if (minimum)
            *minimum = message.get(RangeWords::kMinimum);
        if (maximum)
            *maximum = message.get(RangeWords::kMaximum);
    }
    return status;
}

ApiStatus sendFrequency(HDASS hDass, std::uint32_t code, double hertz) {
    MessageRecord message;
    message.set(FrequencyWords::kHertz, hertz);
    return engineCall(hDass, code, message);
}

ApiStatus receiveFrequency(HDASS hDass, std::uint32_t code, double* hertz) {
    MessageRecord message;
    const ApiStatus status = engineCall(hDass, code, message);
    if (status == HXNOERROR && hertz)
        *hertz = message.get(FrequencyWords::kHertz);
    return status;
}

}  // namespace

extern "C" HXSTATUS HXAPI hxDaSetGainListEntry(HDASS hDass, UINT entry, double gain) {
    return sendEntryDouble(hDass, HXDRV_SETGAINLISTENTRY, entry, gain).code();
}
extern "C" HXSTATUS HXAPI hxDaGetGainListEntry(HDASS hDass, UINT entry, double* gain) {
    return receiveEntryDouble(hDass, HXDRV_GETGAINLISTENTRY, entry, gain).code();
}
extern "C" HXSTATUS HXAPI hxDaSetChannelFilter(HDASS hDass, UINT entry, double filter) {
    return sendEntryDouble(hDass, HXDRV_SETCHANNELFILTER, entry, filter).code();
}
extern "C" HXSTATUS HXAPI hxDaGetChannelFilter(HDASS hDass, UINT entry, double* filter) {
    return receiveEntryDouble(hDass, HXDRV_GETCHANNELFILTER, entry, filter).code();
}
extern "C" HXSTATUS HXAPI hxDaSetRange(HDASS hDass, double maximum, double minimum) {
    return sendRange(hDass, HXDRV_SETRANGE, 0, maximum, minimum).code();
}
extern "C" HXSTATUS HXAPI hxDaGetRange(HDASS hDass, double* maximum, double* minimum) {
    return receiveRange(hDass, HXDRV_GETRANGE, 0, maximum, minimum).code();
}
extern "C" HXSTATUS HXAPI hxDaSetChannelRange(HDASS hDass, UINT entry, double maximum,
                                              double minimum) {
    return sendRange(hDass, HXDRV_SETCHANNELRANGE, entry, maximum, minimum).code();
}
extern "C" HXSTATUS HXAPI hxDaGetChannelRange(HDASS hDass, UINT entry, double* maximum,
                                              double* minimum) {
    return receiveRange(hDass, HXDRV_GETCHANNELRANGE, entry, maximum, minimum).code();
}
extern "C" HXSTATUS HXAPI hxDaSetClockFrequency(HDASS hDass, double hertz) {
    return sendFrequency(hDass, HXDRV_SETCLOCKFREQUENCY, hertz).code();
}
extern "C" HXSTATUS HXAPI hxDaGetClockFrequency(HDASS hDass, double* hertz) {
    return receiveFrequency(hDass, HXDRV_GETCLOCKFREQUENCY, hertz).code();
}
extern "C" HXSTATUS HXAPI hxDaSetRetriggerFrequency(HDASS hDass, double hertz) {
    return sendFrequency(hDass, HXDRV_SETRETRIGGERFREQUENCY, hertz).code();
}
extern "C" HXSTATUS HXAPI hxDaGetRetriggerFrequency(HDASS hDass, double* hertz) {
    return receiveFrequency(hDass, HXDRV_GETRETRIGGERFREQUENCY, hertz).code();
}

extern "C" HXSTATUS HXAPI hxDaSetPulseWidth(HDASS hDass, double width) {
    // Truncated toward zero; a negative width wraps as the unsigned word it becomes. A width that
    // is not a number or beyond any integer is no width at all.
    constexpr double kIntegerLimit = 9223372036854775808.0;  // 2^63
    if (!(width > -kIntegerLimit && width < kIntegerLimit))
        return HXINVALIDPULSEWIDTH;
    return sendWord(hDass, HXDRV_SETPULSEWIDTH,
                    static_cast<std::uint32_t>(static_cast<std::int64_t>(width)))
        .code();
}
extern "C" HXSTATUS HXAPI hxDaGetPulseWidth(HDASS hDass, double* width) {
    MessageRecord message;
    const ApiStatus status = engineCall(hDass, HXDRV_GETPULSEWIDTH, message);
    if (status == HXNOERROR && width)
        *width = static_cast<double>(message.get(SettingWords::kValue));
    return status.code();
}

extern "C" HXSTATUS HXAPI hxDaSetWndHandle(HDASS hDass, HWND window, LPARAM value) {
    MessageRecord message;
    message.set(WindowWords::kWindow,
                static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window)));
    message.set(WindowWords::kHandle, hDass);
    message.set(WindowWords::kValue, static_cast<std::uint32_t>(value));
    return engineCall(hDass, HXDRV_SETWINDOWHANDLE, message).code();
}
extern "C" HXSTATUS HXAPI hxDaGetWndHandle(HDASS hDass, HWND* window) {
    MessageRecord message;
    const ApiStatus status = engineCall(hDass, HXDRV_GETWINDOWHANDLE, message);
    if (status == HXNOERROR && window)
        *window =
            reinterpret_cast<HWND>(static_cast<std::uintptr_t>(message.get(SettingWords::kValue)));
    return status.code();
}

extern "C" HXSTATUS HXAPI hxDaSetNotificationProcedure(HDASS hDass, NotifyProc proc, LPARAM value) {
    MessageRecord message;
    message.pointer = reinterpret_cast<void*>(proc);
    message.set(ProcedureWords::kHandle, hDass);
    message.set(ProcedureWords::kValue, static_cast<std::uint32_t>(value));
    return engineCall(hDass, HXDRV_SETNOTIFYPROC, message).code();
}
extern "C" HXSTATUS HXAPI hxDaGetNotificationProcedure(HDASS hDass, NotifyProc* proc) {
    MessageRecord message;
    const ApiStatus status = engineCall(hDass, HXDRV_GETNOTIFYPROC, message);
    if (status == HXNOERROR && proc)
        *proc = reinterpret_cast<NotifyProc>(message.pointer);
    return status.code();
}

extern "C" HXSTATUS HXAPI hxDaSetQuadDecoder(HDASS hDass, UINT prescale, UINT x4Scaling,
                                             UINT indexMode) {
    MessageRecord message;
    message.set(QuadratureWords::kPrescale, prescale);
    message.set(QuadratureWords::kX4Scaling, x4Scaling);
    message.set(QuadratureWords::kIndexMode, indexMode);
    return engineCall(hDass, HXDRV_SETQUADRATURE, message).code();
}

extern "C" HXSTATUS HXAPI hxDaGetDevCaps(HDEV hDev, INT kind, UINT* count) {
    return deviceElementCount(hDev, kind, count).code();
}

extern "C" HXSTATUS HXAPI hxDaEnumSSCaps(HDASS hDass, UINT kind, CapsEnumProc proc, LPARAM user) {
    return enumerateCapabilities(hDass, kind, proc, user).code();
}
