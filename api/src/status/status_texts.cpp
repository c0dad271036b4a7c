#include "status/status_texts.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace hxda {
namespace {

// Texts as the string table holds them, typos and spacing included: 68 ends in a blank, 131 in a
// new-line character, 122 has two blanks after its first full stop.
constexpr StatusTextEntry kTexts[] = {
    // Statuses of the library and the board drivers (0-50, 60-131) and of the buffer manager
    // (200-220).
    {0, "No Error"},                                                   // HXNOERROR
    {1, "Invalid capability specified"},                               // HXINVALIDCAP
    {2, "Invalid Element specified"},                                  // HXINVALIDELEMENT
    {3, "Invalid Subsystem specified"},                                // HXINVALIDSUBSYS
    {4, "Not Enough DMA Channels"},                                    // HXNOTENOUGHDMA
    {5, "Invalid List Size"},                                          // HXINVALIDLISTSIZE
    {6, "Invalid List Entry"},                                         // HXINVALIDLISTENTRY
    {7, "Invalid Channel"},                                            // HXINVALIDCHANNEL
    {8, "Invalid Channel Type"},                                       // HXINVALIDCHANNELTYPE
    {9, "Invalid Encoding"},                                           // HXINVALIDENCODING
    {10, "Invalid Trigger"},                                           // HXINVALIDTRIGGER
    {11, "Invalid Resolution"},                                        // HXINVALIDRESOLUTION
    {12, "Invalid Clock Source"},                                      // HXINVALIDCLOCKSOURCE
    {13, "Invalid Frequency"},                                         // HXINVALIDFREQUENCY
    {14, "Invalid Pulse Type"},                                        // HXINVALIDPULSETYPE
    {15, "Invalid Pulse Width"},                                       // HXINVALIDPULSEWIDTH
    {16, "Invalid Counter Mode"},                                      // HXINVALIDCOUNTERMODE
    {17, "Invalid Cascade Mode"},                                      // HXINVALIDCASCADEMODE
    {18, "Invalid Data Flow"},                                         // HXINVALIDDATAFLOW
    {19, "Invalid Window Handle"},                                     // HXINVALIDWINDOWHANDLE
    {20, "Subsystem in use"},                                          // HXSUBSYSINUSE
    {21, "Subsystem not in use"},                                      // HXSUBSYSNOTINUSE
    {22, "Subsystem already running"},                                 // HXSUBSYSRUNNING
    {23, "No channel list"},                                           // HXNOCHANNELLIST
    {24, "No gain list"},                                              // HXNOGAINLIST
    {25, "No filter list"},                                            // HXNOFILTERLIST
    {26, "System not configured"},                                     // HXNOTCONFIGURED
    {27, "Dataflow mismatch"},                                         // HXDATAFLOWMISMATCH
    {28, "Subsystem not running"},                                     // HXSUBSYSNOTRUNNING
    {29, "Invalid Range"},                                             // HXINVALIDRANGE
    {30, "Invalid Subsystem Capability"},                              // HXINVALIDSSCAP
    {31, "Invalid Device Capability"},                                 // HXINVALIDDEVCAP
    {32, "Invalid Range Index"},                                       // HXINVALIDRANGEINDEX
    {33, "Invalid Filter Index"},                                      // HXINVALIDFILTERINDEX
    {34, "Invalid Gain Index"},                                        // HXINVALIDGAININDEX
    {35, "Invalid Wrap Mode"},                                         // HXINVALIDWRAPMODE
    {36, "Not supported"},                                             // HXNOTSUPPORTED
    {37, "Invalid Divider Value"},                                     // HXINVALIDDIVIDER
    {38, "Invalid Gate"},                                              // HXINVALIDGATE
    {39, "Invalid Device Handle"},                                     // HXINVALIDDEVHANDLE
    {40, "Invalid Subsystem Handle"},                                  // HXINVALIDSSHANDLE
    {41, "Cannot allocate DASS"},                                      // HXCANTALLOCDASS
    {42, "Cannot Deallocate DASS"},                                    // HXCANTDEALLOCDASS
    {43, "Transfer list not empty"},                                   // HXXFERLISTNOTEMPTY
    {44, "Another Subsystem on board is already running"},             // HXOTHERSUBSYSRUNNING
    {45, "Channel list has been filled incorrectly"},                  // HXCHANLISTINCORRECT
    {46, "Selected clock & trigger source may not be used together"},  // HXCLOCKTRIGGERCONFLICT
    {47, "Driver could not allocate needed memory"},                   // HXDRIVERNOMEMORY
    {48, "Triggered Scan is not available in single value mode"},      // HXSINGLEVALUENOTRIGSCAN
    {49, "External Clock is not available in single value mode"},      // HXSINGLEVALUENOEXTCLOCK
    {50, "Bad Resolution Selected"},                                   // HXBADRESOLUTION
    {60, "A/D Trigger Error"},                                         // HXADTRIGGERERROR
    {61, "A/D Overrun Error"},                                         // HXADOVERRUN
    {62, "D/A Trigger Error"},                                         // HXDATRIGGERERROR
    {63, "D/A Underrun Error"},                                        // HXDAUNDERRUN
    {64, "No Ready Buffers"},                                          // HXNOREADYBUFFERS
    {65, "Library Requires i386 or i486"},                             // HXNEEDS386
    {66, "Library Requires Windows 3.x Enhanced mode"},                // HXNEEDSENHANCEDMODE
    {67, "Driver cannot be initialized"},                              // HXDRIVERINITFAILED
    {68, "Cannot enumerate this capability "},                         // HXCANTENUMCAP
    {69, "Dass Proc CallBack NULL"},                                   // HXNULLDASSPROC
    {70, "Enum Proc CallBack NULL"},                                   // HXNULLENUMPROC
    {71, "No Window Handle"},                                          // HXNOWINDOWHANDLE
    {72, "Sub system cannot be cascaded"},                             // HXCANTCASCADE
    {73, "Invalid configuration in SYSTEM.INI"},                       // HXINVALIDSYSTEMINI
    {74, "Cannot allocate memory for jumpers"},                        // HXCANTALLOCJUMPERS
    {75, "Cannot allocate channel list"},                              // HXCANTALLOCCHANNELLIST
    {76, "Cannot allocate gain list"},                                 // HXCANTALLOCGAINLIST
    {77, "Cannot allocate filter list"},                               // HXCANTALLOCFILTERLIST
    {78, "No Halcyon boards installed"},                               // HXNOBOARDS
    {79, "Invalid DMA / Scan combination"},                            // HXINVALIDDMASCAN
    {80, "Invalid pulse type"},                                        // HXPULSETYPEINVALID
    {81, "Invalid gain list"},                                         // HXINVALIDGAINLIST
    {82, "Wrong counter mode"},                                        // HXWRONGCOUNTERMODE
    {83, "LPSTR passed as a parameter was NULL"},                      // HXNULLSTRING
    {84, "Invalid Polled I/O combination"},                            // HXINVALIDPOLLEDIO
    {85, "Invalid Scan / Trigger combo"},                              // HXINVALIDSCANTRIGGER
    {86, "Invalid Gain"},                                              // HXINVALIDGAIN
    {87, "No window handle specified for frequency measurement"},      // HXNOMEASUREWINDOW
    {88, "Invalid count duration for frequency measurement"},          // HXINVALIDCOUNTDURATION
    {89, "Invalid queue type specified"},                              // HXINVALIDQUEUE
    {90, "Invalid Retrigger Rate for channel list size"},              // HXINVALIDRETRIGGERRATE
    {91, "No Command Response from Hardware"},                         // HXNOHWRESPONSE
    {92, "Hardware Command Sequence Error"},                           // HXHWCOMMANDSEQUENCE
    {93, "Hardware Data Sequence Error"},                              // HXHWDATASEQUENCE
    {94, "Cannot allocate timer data for driver"},                     // HXCANTALLOCTIMERDATA
    {95, "Invalid Timer handle"},                                      // HXINVALIDTIMERHANDLE
    {96, "Invalid Timer mode"},                                        // HXINVALIDTIMERMODE
    {97, "Invalid Timer frequency"},                                   // HXINVALIDTIMERFREQ
    {98, "Invalid Timer callback procedure"},                          // HXINVALIDTIMERPROC
    {99, "Invalid Timer DMA buffer size"},                             // HXINVALIDTIMERDMASIZE
    {100, "Illegal synchronous digital I/O value requested"},          // HXINVALIDSYNCDIOVALUE
    {101, "Cannot allocate simultaneous start list"},                  // HXCANTALLOCSSLIST
    {102, "Illegal simultaneous start list handle specified"},         // HXINVALIDSSLIST
    {103, "Invalid subsystem handle on simultaneous start list"},      // HXINVALIDSSLISTMEMBER
    {104, "No subsystem handles on simultaneous start list"},          // HXEMPTYSSLIST
    {105, "The subsystem has no channel inhibit list"},                // HXNOINHIBITLIST
    {106, "The subsystem has no digital I/O list"},                    // HXNODIOLIST
    {107, "The subsystem has not been prestarted"},                    // HXNOTPRESTARTED
    {108, "Invalid notification procedure"},                           // HXINVALIDNOTIFYPROC
    {109, "Invalid MQ-Connect transfer count"},                        // HXINVALIDMQCONNECTCOUNT
    {110, "Invalid MQ-Connect transfer size"},                         // HXINVALIDMQCONNECTSIZE
    {111, "Cannot allocate channel inhibit list"},                     // HXCANTALLOCINHIBITLIST
    {112, "Cannot allocate digital I/O list"},                         // HXCANTALLOCDIOLIST
    {113, "Channel inhibit list has been filled incorrectly"},         // HXINHIBITLISTINCORRECT
    {114, "Dass handle is already on simultaneous start list"},        // HXALREADYONSSLIST
    {115, "Cannot allocate range list"},                               // HXCANTALLOCRANGELIST
    {116, "No range list"},                                            // HXNORANGELIST
    {117, "No buffers in process"},                                    // HXNOINPROCESSBUFFERS
    {118, "Additional required sub system in use"},                    // HXREQUIREDSUBSYSINUSE
    {119, "Wrap mode mismatch"},                                       // HXWRAPMODEMISMATCH
    {120, "VMQDAD virtual device driver not loaded"},                  // HXVXDNOTLOADED
    {121, "Invalid Retrigger Mode"},                                   // HXINVALIDRETRIGGERMODE
    {122,
     "Invalid count.  Count exceeds maximum # of scans of the CGL."},  // HXINVALIDMULTISCANCOUNT
    {123, "Invalid Retrigger"},                                        // HXINVALIDRETRIGGER
    {124, "Invalid Pretrigger"},                                       // HXINVALIDPRETRIGGER
    {125,
     "A General Failure has occurred, see manual for possible explanations."},  // HXGENERALFAILURE
    {126, "Defer Completion of Halcyon call"},                                  // HXDEFERCOMPLETION
    {127, "Operating System not supported"},                                    // HXOSNOTSUPPORTED
    {128, "Invalid counter edge specified"},                                    // HXINVALIDEDGE
    {129, "Only half of 32 bit count value read via CGL"},                      // HXHALFCOUNTREAD
    {130, "Invalid Index"},                                                     // HXINVALIDINDEX
    {131, "Invalid combination of Index and X4Scaling\n"},                      // HXINVALIDINDEXX4
    {200,
     "Cannot allocate a buffer control block for the requested data buffer."},  // HXCANTALLOCBCB
    {201, "Cannot allocate the requested data buffer."},                        // HXCANTALLOCBUFFER
    {202,
     "Invalid buffer handle (HBUF) passed to a library from an application."},  // HXINVALIDHBUF
    {203, "Cannot lock buffer"},                                                // HXCANTLOCKBUFFER
    {204, "Buffer Locked"},                                                     // HXBUFFERLOCKED
    {205, "Buffer on List"},                                                    // HXBUFFERONLIST
    {206, "Reallocation of a buffer control block was unsuccessful."},          // HXCANTREALLOCBCB
    {207, "Reallocation of the data buffer was unsuccessful."},        // HXCANTREALLOCBUFFER
    {208, "Bad Sample Size"},                                          // HXBADSAMPLESIZE
    {209, "Cannot Allocate List"},                                     // HXCANTALLOCLIST
    {210, "Bad List Handle"},                                          // HXBADLISTHANDLE
    {211, "List Not Empty"},                                           // HXLISTNOTEMPTY
    {212, "Bufffer Not Locked"},                                       // HXBUFFERNOTLOCKED
    {213, "Invalid DMA Channel specified"},                            // HXINVALIDDMACHANNEL
    {214, "Specified DMA Channel in use"},                             // HXDMACHANNELINUSE
    {215, "Invalid IRQ specified"},                                    // HXINVALIDIRQ
    {216, "Specififed IRQ in use"},                                    // HXIRQINUSE
    {217, "Buffer has no valid samples"},                              // HXNOVALIDSAMPLES
    {218, "Valid Samples cannot be larger than buffer"},               // HXVALIDSAMPLESTOOLARGE
    {219, "Specified buffer too small for requested copy operation"},  // HXBUFFERTOOSMALL
    {220,
     "Requested operation requires that valid samples in buffer be a multiple of 2"},  // HXNOTMULTIPLEOFTWO
    // Names of the internal message codes, under the code as id.
    {0x4000, "HXDRV_GETSSCAPS"},
    {0x4001, "HXDRV_SETDMAUSAGE"},
    {0x4002, "HXDRV_GETDMAUSAGE"},
    {0x4003, "HXDRV_SETTRIGGEREDSCANUSAGE"},
    {0x4004, "HXDRV_GETTRIGGEREDSCANUSAGE"},
    {0x4005, "HXDRV_SETCHANNELLISTSIZE"},
    {0x4006, "HXDRV_GETCHANNELLISTSIZE"},
    {0x4007, "HXDRV_SETCHANNELLISTENTRY"},
    {0x4008, "HXDRV_GETCHANNELLISTENTRY"},
    {0x4009, "HXDRV_SETGAINLISTENTRY"},
    {0x400A, "HXDRV_GETGAINLISTENTRY"},
    {0x400B, "HXDRV_SETCHANNELFILTER"},
    {0x400C, "HXDRV_GETCHANNELFILTER"},
    {0x400D, "HXDRV_SETRANGE"},
    {0x400E, "HXDRV_GETRANGE"},
    {0x400F, "HXDRV_SETCHANNELTYPE"},
    {0x4010, "HXDRV_GETCHANNELTYPE"},
    {0x4011, "HXDRV_SETENCODING"},
    {0x4012, "HXDRV_GETENCODING"},
    {0x4013, "HXDRV_SETTRIGGER"},
    {0x4014, "HXDRV_GETTRIGGER"},
    {0x4015, "HXDRV_SETRESOLUTION"},
    {0x4016, "HXDRV_GETRESOLUTION"},
    {0x4017, "HXDRV_SETCLOCKSOURCE"},
    {0x4018, "HXDRV_GETCLOCKSOURCE"},
    {0x4019, "HXDRV_SETCLOCKFREQUENCY"},
    {0x401A, "HXDRV_GETCLOCKFREQUENCY"},
    {0x401B, "HXDRV_SETRETRIGGERFREQUENCY"},
    {0x401C, "HXDRV_GETRETRIGGERFREQUENCY"},
    {0x401D, "HXDRV_SETEXTERNCLOCKDIVIDER"},
    {0x401E, "HXDRV_GETEXTERNCLOCKDIVIDER"},
    {0x401F, "HXDRV_SETGATETYPE"},
    {0x4020, "HXDRV_GETGATETYPE"},
    {0x4021, "HXDRV_SETPULSETYPE"},
    {0x4022, "HXDRV_GETPULSETYPE"},
    {0x4023, "HXDRV_SETPULSEWIDTH"},
    {0x4024, "HXDRV_GETPULSEWIDTH"},
    {0x4025, "HXDRV_SETCOUNTERMODE"},
    {0x4026, "HXDRV_GETCOUNTERMODE"},
    {0x4027, "HXDRV_SETCASCADEMODE"},
    {0x4028, "HXDRV_GETCASCADEMODE"},
    {0x4029, "HXDRV_SETWRAPMODE"},
    {0x402A, "HXDRV_GETWRAPMODE"},
    {0x402B, "HXDRV_SETDATAFLOW"},
    {0x402C, "HXDRV_GETDATAFLOW"},
    {0x402D, "HXDRV_SETWINDOWHANDLE"},
    {0x402E, "HXDRV_GETWINDOWHANDLE"},
    {0x402F, "HXDRV_SETNOTIFYPROC"},
    {0x4030, "HXDRV_GETNOTIFYPROC"},
    {0x4031, "HXDRV_SETCHANNELLISTINHIBIT"},
    {0x4032, "HXDRV_GETCHANNELLISTINHIBIT"},
    {0x4033, "HXDRV_SETDIGITALIOLISTENTRY"},
    {0x4034, "HXDRV_GETDIGITALIOLISTENTRY"},
    {0x4035, "HXDRV_SETSYNCHRONOUSDIOUSAGE"},
    {0x4036, "HXDRV_GETSYNCHRONOUSDIOUSAGE"},
    {0x4037, "HXDRV_SETTRANSFERSIZE"},
    {0x4038, "HXDRV_GETTRANSFERSIZE"},
    {0x4039, "HXDRV_SETTRANSFERCOUNT"},
    {0x403A, "HXDRV_GETTRANSFERCOUNT"},
    {0x403B, "HXDRV_SETCHANNELRANGE"},
    {0x403C, "HXDRV_GETCHANNELRANGE"},
    {0x403D, "HXDRV_PUTBUFFER"},
    {0x403E, "HXDRV_GETBUFFER"},
    {0x403F, "HXDRV_GETQUEUESIZES"},
    {0x4040, "HXDRV_FLUSHBUFFERS"},
    {0x4041, "HXDRV_SETRETRIGGERMODE"},
    {0x4042, "HXDRV_GETRETRIGGERMODE"},
    {0x4043, "HXDRV_SETPRETRIGGERSOURCE"},
    {0x4044, "HXDRV_GETPRETRIGGERSOURCE"},
    {0x4045, "HXDRV_SETMULTISCANCOUNT"},
    {0x4046, "HXDRV_GETMULTISCANCOUNT"},
    {0x4047, "HXDRV_SETRETRIGGERSOURCE"},
    {0x4048, "HXDRV_GETRETRIGGERSOURCE"},
    {0x4049, "HXDRV_SETSPECIALVPICONFIGMODE"},
    {0x404A, "HXDRV_GETSPECIALVPICONFIGMODE"},
    {0x404B, "HXDRV_SETSTARTEDGE"},
    {0x404C, "HXDRV_GETSTARTEDGE"},
    {0x404D, "HXDRV_SETSTOPEDGE"},
    {0x404E, "HXDRV_GETSTOPEDGE"},
    {0x404F, "HXDRV_SETQUADRATURE"},
    {0x4063, "HXDRV_NULL"},
    {0x4064, "HXDRV_READEVENTS"},
    {0x4065, "HXDRV_SETSINGLEVALUE"},
    {0x4066, "HXDRV_GETSINGLEVALUE"},
    {0x4067, "HXDRV_CONFIG"},
    {0x4068, "HXDRV_START"},
    {0x4069, "HXDRV_STOP"},
    {0x406A, "HXDRV_PAUSE"},
    {0x406B, "HXDRV_CONTINUE"},
    {0x406C, "HXDRV_RESET"},
    {0x406D, "HXDRV_ABORT"},
    {0x406E, "HXDRV_BURSTMQCONNECT"},
    {0x406F, "HXDRV_PRESTART"},
    {0x4070, "HXDRV_SIMULSTART"},
    {0x4071, "HXDRV_ALLOCATE"},
    {0x4072, "HXDRV_DEALLOCATE"},
    {0x4073, "HXDRV_FLUSHINPROCESS"},
    {0x4074, "HXDRV_WRITEREG"},
    {0x4075, "HXDRV_READREG"},
    {0x4076, "HXDRV_GETSINGLEVALUES"},
};

constexpr bool IsSortedById() {
    return std::is_sorted(
        std::begin(kTexts), std::end(kTexts),
        [](const StatusTextEntry& a, const StatusTextEntry& b) { return a.id < b.id; });
}
static_assert(IsSortedById(), "lookup uses binary search");

// Shortest buffer that takes the unknown-status text of any 32-bit code.
constexpr std::uint32_t kUnknownTextMinimumSize = 39;

}  // namespace

std::span<const StatusTextEntry> StatusTextTable() {
    return kTexts;
}

const char* FindStatusText(std::uint32_t id) {
    const auto* it = std::lower_bound(
        std::begin(kTexts), std::end(kTexts), id,
        [](const StatusTextEntry& entry, std::uint32_t key) { return entry.id < key; });
    if (it == std::end(kTexts) || it->id != id)
        return nullptr;
    return it->text;
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
