#include "status/status_texts.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "core/message_codes.h"
#include "hxda/api_status.h"
#include "hxmem32.h"

namespace hxda {
namespace {

// A status under its own number, with its name and its text; a message code under its own number,
// with its name as its text.
#define STATUS_TEXT(status, text) \
    { status, #status, text }
#define CODE_NAME(code) \
    { code, nullptr, #code }

// Texts as the string table holds them, typos and spacing included: HXCANTENUMCAP ends in a
// blank, HXINVALIDINDEXX4 in a new-line character, HXINVALIDMULTISCANCOUNT has two blanks after
// its first full stop.
constexpr StatusTextEntry kTexts[] = {
    // Statuses of the library and the board drivers (0-50, 60-131) and of the buffer manager
    // (200-220).
    STATUS_TEXT(HXNOERROR, "No Error"),
    STATUS_TEXT(HXINVALIDCAP, "Invalid capability specified"),
    STATUS_TEXT(HXINVALIDELEMENT, "Invalid Element specified"),
    STATUS_TEXT(HXINVALIDSUBSYS, "Invalid Subsystem specified"),
    STATUS_TEXT(HXNOTENOUGHDMA, "Not Enough DMA Channels"),
    STATUS_TEXT(HXINVALIDLISTSIZE, "Invalid List Size"),
    STATUS_TEXT(HXINVALIDLISTENTRY, "Invalid List Entry"),
    STATUS_TEXT(HXINVALIDCHANNEL, "Invalid Channel"),
    STATUS_TEXT(HXINVALIDCHANNELTYPE, "Invalid Channel Type"),
    STATUS_TEXT(HXINVALIDENCODING, "Invalid Encoding"),
    STATUS_TEXT(HXINVALIDTRIGGER, "Invalid Trigger"),
    STATUS_TEXT(HXINVALIDRESOLUTION, "Invalid Resolution"),
    STATUS_TEXT(HXINVALIDCLOCKSOURCE, "Invalid Clock Source"),
    STATUS_TEXT(HXINVALIDFREQUENCY, "Invalid Frequency"),
    STATUS_TEXT(HXINVALIDPULSETYPE, "Invalid Pulse Type"),
    STATUS_TEXT(HXINVALIDPULSEWIDTH, "Invalid Pulse Width"),
    STATUS_TEXT(HXINVALIDCOUNTERMODE, "Invalid Counter Mode"),
    STATUS_TEXT(HXINVALIDCASCADEMODE, "Invalid Cascade Mode"),
    STATUS_TEXT(HXINVALIDDATAFLOW, "Invalid Data Flow"),
    STATUS_TEXT(HXINVALIDWINDOWHANDLE, "Invalid Window Handle"),
    STATUS_TEXT(HXSUBSYSINUSE, "Subsystem in use"),
    STATUS_TEXT(HXSUBSYSNOTINUSE, "Subsystem not in use"),
    STATUS_TEXT(HXSUBSYSRUNNING, "Subsystem already running"),
    STATUS_TEXT(HXNOCHANNELLIST, "No channel list"),
    STATUS_TEXT(HXNOGAINLIST, "No gain list"),
    STATUS_TEXT(HXNOFILTERLIST, "No filter list"),
    STATUS_TEXT(HXNOTCONFIGURED, "System not configured"),
    STATUS_TEXT(HXDATAFLOWMISMATCH, "Dataflow mismatch"),
    STATUS_TEXT(HXSUBSYSNOTRUNNING, "Subsystem not running"),
    STATUS_TEXT(HXINVALIDRANGE, "Invalid Range"),
    STATUS_TEXT(HXINVALIDSSCAP, "Invalid Subsystem Capability"),
    STATUS_TEXT(HXINVALIDDEVCAP, "Invalid Device Capability"),
    STATUS_TEXT(HXINVALIDRANGEINDEX, "Invalid Range Index"),
    STATUS_TEXT(HXINVALIDFILTERINDEX, "Invalid Filter Index"),
    STATUS_TEXT(HXINVALIDGAININDEX, "Invalid Gain Index"),
    STATUS_TEXT(HXINVALIDWRAPMODE, "Invalid Wrap Mode"),
    STATUS_TEXT(HXNOTSUPPORTED, "Not supported"),
    STATUS_TEXT(HXINVALIDDIVIDER, "Invalid Divider Value"),
    STATUS_TEXT(HXINVALIDGATE, "Invalid Gate"),
    STATUS_TEXT(HXINVALIDDEVHANDLE, "Invalid Device Handle"),
    STATUS_TEXT(HXINVALIDSSHANDLE, "Invalid Subsystem Handle"),
    STATUS_TEXT(HXCANTALLOCDASS, "Cannot allocate DASS"),
    STATUS_TEXT(HXCANTDEALLOCDASS, "Cannot Deallocate DASS"),
    STATUS_TEXT(HXXFERLISTNOTEMPTY, "Transfer list not empty"),
    STATUS_TEXT(HXOTHERSUBSYSRUNNING, "Another Subsystem on board is already running"),
    STATUS_TEXT(HXCHANLISTINCORRECT, "Channel list has been filled incorrectly"),
    STATUS_TEXT(HXCLOCKTRIGGERCONFLICT, "Selected clock & trigger source may not be used together"),
    STATUS_TEXT(HXDRIVERNOMEMORY, "Driver could not allocate needed memory"),
    STATUS_TEXT(HXSINGLEVALUENOTRIGSCAN, "Triggered Scan is not available in single value mode"),
    STATUS_TEXT(HXSINGLEVALUENOEXTCLOCK, "External Clock is not available in single value mode"),
    STATUS_TEXT(HXBADRESOLUTION, "Bad Resolution Selected"),
    STATUS_TEXT(HXADTRIGGERERROR, "A/D Trigger Error"),
    STATUS_TEXT(HXADOVERRUN, "A/D Overrun Error"),
    STATUS_TEXT(HXDATRIGGERERROR, "D/A Trigger Error"),
    STATUS_TEXT(HXDAUNDERRUN, "D/A Underrun Error"),
    STATUS_TEXT(HXNOREADYBUFFERS, "No Ready Buffers"),
    STATUS_TEXT(HXNEEDS386, "Library Requires i386 or i486"),
    STATUS_TEXT(HXNEEDSENHANCEDMODE, "Library Requires Windows 3.x Enhanced mode"),
    STATUS_TEXT(HXDRIVERINITFAILED, "Driver cannot be initialized"),
    STATUS_TEXT(HXCANTENUMCAP, "Cannot enumerate this capability "),
    STATUS_TEXT(HXNULLDASSPROC, "Dass Proc CallBack NULL"),
    STATUS_TEXT(HXNULLENUMPROC, "Enum Proc CallBack NULL"),
    STATUS_TEXT(HXNOWINDOWHANDLE, "No Window Handle"),
    STATUS_TEXT(HXCANTCASCADE, "Sub system cannot be cascaded"),
    STATUS_TEXT(HXINVALIDSYSTEMINI, "Invalid configuration in SYSTEM.INI"),
    STATUS_TEXT(HXCANTALLOCJUMPERS, "Cannot allocate memory for jumpers"),
    STATUS_TEXT(HXCANTALLOCCHANNELLIST, "Cannot allocate channel list"),
    STATUS_TEXT(HXCANTALLOCGAINLIST, "Cannot allocate gain list"),
    STATUS_TEXT(HXCANTALLOCFILTERLIST, "Cannot allocate filter list"),
    STATUS_TEXT(HXNOBOARDS, "No Halcyon boards installed"),
    STATUS_TEXT(HXINVALIDDMASCAN, "Invalid DMA / Scan combination"),
    STATUS_TEXT(HXPULSETYPEINVALID, "Invalid pulse type"),
    STATUS_TEXT(HXINVALIDGAINLIST, "Invalid gain list"),
    STATUS_TEXT(HXWRONGCOUNTERMODE, "Wrong counter mode"),
    STATUS_TEXT(HXNULLSTRING, "LPSTR passed as a parameter was NULL"),
    STATUS_TEXT(HXINVALIDPOLLEDIO, "Invalid Polled I/O combination"),
    STATUS_TEXT(HXINVALIDSCANTRIGGER, "Invalid Scan / Trigger combo"),
    STATUS_TEXT(HXINVALIDGAIN, "Invalid Gain"),
    STATUS_TEXT(HXNOMEASUREWINDOW, "No window handle specified for frequency measurement"),
    STATUS_TEXT(HXINVALIDCOUNTDURATION, "Invalid count duration for frequency measurement"),
    STATUS_TEXT(HXINVALIDQUEUE, "Invalid queue type specified"),
    STATUS_TEXT(HXINVALIDRETRIGGERRATE, "Invalid Retrigger Rate for channel list size"),
    STATUS_TEXT(HXNOHWRESPONSE, "No Command Response from Hardware"),
    STATUS_TEXT(HXHWCOMMANDSEQUENCE, "Hardware Command Sequence Error"),
    STATUS_TEXT(HXHWDATASEQUENCE, "Hardware Data Sequence Error"),
    STATUS_TEXT(HXCANTALLOCTIMERDATA, "Cannot allocate timer data for driver"),
    STATUS_TEXT(HXINVALIDTIMERHANDLE, "Invalid Timer handle"),
    STATUS_TEXT(HXINVALIDTIMERMODE, "Invalid Timer mode"),
    STATUS_TEXT(HXINVALIDTIMERFREQ, "Invalid Timer frequency"),
    STATUS_TEXT(HXINVALIDTIMERPROC, "Invalid Timer callback procedure"),
    STATUS_TEXT(HXINVALIDTIMERDMASIZE, "Invalid Timer DMA buffer size"),
    STATUS_TEXT(HXINVALIDSYNCDIOVALUE, "Illegal synchronous digital I/O value requested"),
    STATUS_TEXT(HXCANTALLOCSSLIST, "Cannot allocate simultaneous start list"),
    STATUS_TEXT(HXINVALIDSSLIST, "Illegal simultaneous start list handle specified"),
    STATUS_TEXT(HXINVALIDSSLISTMEMBER, "Invalid subsystem handle on simultaneous start list"),
    STATUS_TEXT(HXEMPTYSSLIST, "No subsystem handles on simultaneous start list"),
    STATUS_TEXT(HXNOINHIBITLIST, "The subsystem has no channel inhibit list"),
    STATUS_TEXT(HXNODIOLIST, "The subsystem has no digital I/O list"),
    STATUS_TEXT(HXNOTPRESTARTED, "The subsystem has not been prestarted"),
    STATUS_TEXT(HXINVALIDNOTIFYPROC, "Invalid notification procedure"),
    STATUS_TEXT(HXINVALIDMQCONNECTCOUNT, "Invalid MQ-Connect transfer count"),
    STATUS_TEXT(HXINVALIDMQCONNECTSIZE, "Invalid MQ-Connect transfer size"),
    STATUS_TEXT(HXCANTALLOCINHIBITLIST, "Cannot allocate channel inhibit list"),
    STATUS_TEXT(HXCANTALLOCDIOLIST, "Cannot allocate digital I/O list"),
    STATUS_TEXT(HXINHIBITLISTINCORRECT, "Channel inhibit list has been filled incorrectly"),
    STATUS_TEXT(HXALREADYONSSLIST, "Dass handle is already on simultaneous start list"),
    STATUS_TEXT(HXCANTALLOCRANGELIST, "Cannot allocate range list"),
    STATUS_TEXT(HXNORANGELIST, "No range list"),
    STATUS_TEXT(HXNOINPROCESSBUFFERS, "No buffers in process"),
    STATUS_TEXT(HXREQUIREDSUBSYSINUSE, "Additional required sub system in use"),
    STATUS_TEXT(HXWRAPMODEMISMATCH, "Wrap mode mismatch"),
    STATUS_TEXT(HXVXDNOTLOADED, "VMQDAD virtual device driver not loaded"),
    STATUS_TEXT(HXINVALIDRETRIGGERMODE, "Invalid Retrigger Mode"),
    STATUS_TEXT(HXINVALIDMULTISCANCOUNT,
                "Invalid count.  Count exceeds maximum # of scans of the CGL."),
    STATUS_TEXT(HXINVALIDRETRIGGER, "Invalid Retrigger"),
    STATUS_TEXT(HXINVALIDPRETRIGGER, "Invalid Pretrigger"),
    STATUS_TEXT(HXGENERALFAILURE,
                "A General Failure has occurred, see manual for possible explanations."),
    STATUS_TEXT(HXDEFERCOMPLETION, "Defer Completion of Halcyon call"),
    STATUS_TEXT(HXOSNOTSUPPORTED, "Operating System not supported"),
    STATUS_TEXT(HXINVALIDEDGE, "Invalid counter edge specified"),
    STATUS_TEXT(HXHALFCOUNTREAD, "Only half of 32 bit count value read via CGL"),
    STATUS_TEXT(HXINVALIDINDEX, "Invalid Index"),
    STATUS_TEXT(HXINVALIDINDEXX4, "Invalid combination of Index and X4Scaling\n"),
    STATUS_TEXT(HXCANTALLOCBCB,
                "Cannot allocate a buffer control block for the requested data buffer."),
    STATUS_TEXT(HXCANTALLOCBUFFER, "Cannot allocate the requested data buffer."),
    STATUS_TEXT(HXINVALIDHBUF,
                "Invalid buffer handle (HBUF) passed to a library from an application."),
    STATUS_TEXT(HXCANTLOCKBUFFER, "Cannot lock buffer"),
    STATUS_TEXT(HXBUFFERLOCKED, "Buffer Locked"),
    STATUS_TEXT(HXBUFFERONLIST, "Buffer on List"),
    STATUS_TEXT(HXCANTREALLOCBCB, "Reallocation of a buffer control block was unsuccessful."),
    STATUS_TEXT(HXCANTREALLOCBUFFER, "Reallocation of the data buffer was unsuccessful."),
    STATUS_TEXT(HXBADSAMPLESIZE, "Bad Sample Size"),
    STATUS_TEXT(HXCANTALLOCLIST, "Cannot Allocate List"),
    STATUS_TEXT(HXBADLISTHANDLE, "Bad List Handle"),
    STATUS_TEXT(HXLISTNOTEMPTY, "List Not Empty"),
    STATUS_TEXT(HXBUFFERNOTLOCKED, "Bufffer Not Locked"),
    STATUS_TEXT(HXINVALIDDMACHANNEL, "Invalid DMA Channel specified"),
    STATUS_TEXT(HXDMACHANNELINUSE, "Specified DMA Channel in use"),
    STATUS_TEXT(HXINVALIDIRQ, "Invalid IRQ specified"),
    STATUS_TEXT(HXIRQINUSE, "Specififed IRQ in use"),
    STATUS_TEXT(HXNOVALIDSAMPLES, "Buffer has no valid samples"),
    STATUS_TEXT(HXVALIDSAMPLESTOOLARGE, "Valid Samples cannot be larger than buffer"),
    STATUS_TEXT(HXBUFFERTOOSMALL, "Specified buffer too small for requested copy operation"),
    STATUS_TEXT(HXNOTMULTIPLEOFTWO,
                "Requested operation requires that valid samples in buffer be a multiple of 2"),
    // Names of the internal message codes, under the code as id.
    CODE_NAME(HXDRV_GETSSCAPS),
    CODE_NAME(HXDRV_SETDMAUSAGE),
    CODE_NAME(HXDRV_GETDMAUSAGE),
    CODE_NAME(HXDRV_SETTRIGGEREDSCANUSAGE),
    CODE_NAME(HXDRV_GETTRIGGEREDSCANUSAGE),
    CODE_NAME(HXDRV_SETCHANNELLISTSIZE),
    CODE_NAME(HXDRV_GETCHANNELLISTSIZE),
    CODE_NAME(HXDRV_SETCHANNELLISTENTRY),
    CODE_NAME(HXDRV_GETCHANNELLISTENTRY),
    CODE_NAME(HXDRV_SETGAINLISTENTRY),
    CODE_NAME(HXDRV_GETGAINLISTENTRY),
    CODE_NAME(HXDRV_SETCHANNELFILTER),
    CODE_NAME(HXDRV_GETCHANNELFILTER),
    CODE_NAME(HXDRV_SETRANGE),
    CODE_NAME(HXDRV_GETRANGE),
    CODE_NAME(HXDRV_SETCHANNELTYPE),
    CODE_NAME(HXDRV_GETCHANNELTYPE),
    CODE_NAME(HXDRV_SETENCODING),
    CODE_NAME(HXDRV_GETENCODING),
    CODE_NAME(HXDRV_SETTRIGGER),
    CODE_NAME(HXDRV_GETTRIGGER),
    CODE_NAME(HXDRV_SETRESOLUTION),
    CODE_NAME(HXDRV_GETRESOLUTION),
    CODE_NAME(HXDRV_SETCLOCKSOURCE),
    CODE_NAME(HXDRV_GETCLOCKSOURCE),
    CODE_NAME(HXDRV_SETCLOCKFREQUENCY),
    CODE_NAME(HXDRV_GETCLOCKFREQUENCY),
    CODE_NAME(HXDRV_SETRETRIGGERFREQUENCY),
    CODE_NAME(HXDRV_GETRETRIGGERFREQUENCY),
    CODE_NAME(HXDRV_SETEXTERNCLOCKDIVIDER),
    CODE_NAME(HXDRV_GETEXTERNCLOCKDIVIDER),
    CODE_NAME(HXDRV_SETGATETYPE),
    CODE_NAME(HXDRV_GETGATETYPE),
    CODE_NAME(HXDRV_SETPULSETYPE),
    CODE_NAME(HXDRV_GETPULSETYPE),
    CODE_NAME(HXDRV_SETPULSEWIDTH),
    CODE_NAME(HXDRV_GETPULSEWIDTH),
    CODE_NAME(HXDRV_SETCOUNTERMODE),
    CODE_NAME(HXDRV_GETCOUNTERMODE),
    CODE_NAME(HXDRV_SETCASCADEMODE),
    CODE_NAME(HXDRV_GETCASCADEMODE),
    CODE_NAME(HXDRV_SETWRAPMODE),
    CODE_NAME(HXDRV_GETWRAPMODE),
    CODE_NAME(HXDRV_SETDATAFLOW),
    CODE_NAME(HXDRV_GETDATAFLOW),
    CODE_NAME(HXDRV_SETWINDOWHANDLE),
    CODE_NAME(HXDRV_GETWINDOWHANDLE),
    CODE_NAME(HXDRV_SETNOTIFYPROC),
    CODE_NAME(HXDRV_GETNOTIFYPROC),
    CODE_NAME(HXDRV_SETCHANNELLISTINHIBIT),
    CODE_NAME(HXDRV_GETCHANNELLISTINHIBIT),
    CODE_NAME(HXDRV_SETDIGITALIOLISTENTRY),
    CODE_NAME(HXDRV_GETDIGITALIOLISTENTRY),
    CODE_NAME(HXDRV_SETSYNCHRONOUSDIOUSAGE),
    CODE_NAME(HXDRV_GETSYNCHRONOUSDIOUSAGE),
    CODE_NAME(HXDRV_SETTRANSFERSIZE),
    CODE_NAME(HXDRV_GETTRANSFERSIZE),
    CODE_NAME(HXDRV_SETTRANSFERCOUNT),
    CODE_NAME(HXDRV_GETTRANSFERCOUNT),
    CODE_NAME(HXDRV_SETCHANNELRANGE),
    CODE_NAME(HXDRV_GETCHANNELRANGE),
    CODE_NAME(HXDRV_PUTBUFFER),
    CODE_NAME(HXDRV_GETBUFFER),
    CODE_NAME(HXDRV_GETQUEUESIZES),
    CODE_NAME(HXDRV_FLUSHBUFFERS),
    CODE_NAME(HXDRV_SETRETRIGGERMODE),
    CODE_NAME(HXDRV_GETRETRIGGERMODE),
    CODE_NAME(HXDRV_SETPRETRIGGERSOURCE),
    CODE_NAME(HXDRV_GETPRETRIGGERSOURCE),
    CODE_NAME(HXDRV_SETMULTISCANCOUNT),
    CODE_NAME(HXDRV_GETMULTISCANCOUNT),
    CODE_NAME(HXDRV_SETRETRIGGERSOURCE),
    CODE_NAME(HXDRV_GETRETRIGGERSOURCE),
    CODE_NAME(HXDRV_SETSPECIALVPICONFIGMODE),
    CODE_NAME(HXDRV_GETSPECIALVPICONFIGMODE),
    CODE_NAME(HXDRV_SETSTARTEDGE),
    CODE_NAME(HXDRV_GETSTARTEDGE),
    CODE_NAME(HXDRV_SETSTOPEDGE),
    CODE_NAME(HXDRV_GETSTOPEDGE),
    CODE_NAME(HXDRV_SETQUADRATURE),
    CODE_NAME(HXDRV_NULL),
    CODE_NAME(HXDRV_READEVENTS),
    CODE_NAME(HXDRV_SETSINGLEVALUE),
    CODE_NAME(HXDRV_GETSINGLEVALUE),
    CODE_NAME(HXDRV_CONFIG),
    CODE_NAME(HXDRV_START),
    CODE_NAME(HXDRV_STOP),
    CODE_NAME(HXDRV_PAUSE),
    CODE_NAME(HXDRV_CONTINUE),
    CODE_NAME(HXDRV_RESET),
    CODE_NAME(HXDRV_ABORT),
    CODE_NAME(HXDRV_BURSTMQCONNECT),
    CODE_NAME(HXDRV_PRESTART),
    CODE_NAME(HXDRV_SIMULSTART),
    CODE_NAME(HXDRV_ALLOCATE),
    CODE_NAME(HXDRV_DEALLOCATE),
    CODE_NAME(HXDRV_FLUSHINPROCESS),
    CODE_NAME(HXDRV_WRITEREG),
    CODE_NAME(HXDRV_READREG),
    CODE_NAME(HXDRV_GETSINGLEVALUES),
};

constexpr bool IsSortedById() {
    return std::is_sorted(
        std::begin(kTexts), std::end(kTexts),
        [](const StatusTextEntry& a, const StatusTextEntry& b) { return a.id < b.id; });
}
static_assert(IsSortedById(), "lookup uses binary search");

// Shortest buffer that takes the unknown-status text of any 32-bit code.
constexpr std::uint32_t kUnknownTextMinimumSize = 39;

const StatusTextEntry* FindEntry(std::uint32_t id) {
    const auto* it = std::lower_bound(
        std::begin(kTexts), std::end(kTexts), id,
        [](const StatusTextEntry& entry, std::uint32_t key) { return entry.id < key; });
    return it == std::end(kTexts) || it->id != id ? nullptr : it;
}

}  // namespace

std::span<const StatusTextEntry> StatusTextTable() {
    return kTexts;
}

const char* FindStatusText(std::uint32_t id) {
    const StatusTextEntry* entry = FindEntry(id);
    return entry != nullptr ? entry->text : nullptr;
}

const char* StatusName(ApiStatus status) {
    const StatusTextEntry* entry = FindEntry(status.code());
    return entry != nullptr ? entry->name : nullptr;
}

char* CopyErrorString(std::uint32_t status, char* buffer, std::uint32_t size) {
    if (buffer == nullptr)
        return nullptr;
    if (const char* text = FindStatusText(status); text != nullptr && size > 0) {
        const std::size_t length = std::min<std::size_t>(std::strlen(text), size - 1);
        std::memcpy(buffer, text, length);
        buffer[length] = '\0';
        return buffer;
    }
    if (size < kUnknownTextMinimumSize)
        return nullptr;
    std::snprintf(buffer, size, "HX Unknown Error: 0x%lX", static_cast<unsigned long>(status));
    return buffer;
}

}  // namespace hxda
