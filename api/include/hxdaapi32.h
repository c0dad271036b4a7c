// The data-acquisition API: every program reaches a board through these functions. Each returns a
// status (HXNOERROR on success; hxdacodes.h, hxDaGetErrorString for its text) and writes its
// outputs only on success. A call on an HDASS answers HXINVALIDSSHANDLE for a handle that is not a
// live subsystem, a call on an HDEV HXINVALIDDEVHANDLE for one that is not a live board; the
// comments below leave these two out.
//
// Handles (HDEV, HDASS, HSSLIST) are 32-bit tokens (slot and generation), never addresses, so that
// they fit 32-bit record words and automation longs; 0 is never a valid handle, and a stale or
// foreign one is refused (39, 40, 102) without touching released memory.
#pragma once

#include <cstdint>

#include "hxdacodes.h"
#include "hxmem32.h"
#include "win32/types.h"

// stdcall on 32-bit Windows, empty elsewhere.
#define HXAPI WINAPI

// Marks the library's entry points: the library is built with hidden visibility, so these
// functions are all it exports.
#if defined(__GNUC__)
#define HXDAAPI32_EXPORT __attribute__((visibility("default")))
#else
#define HXDAAPI32_EXPORT
#endif

using HXSTATUS = std::uint32_t;
using HDEV = std::uint32_t;
using HDASS = std::uint32_t;
using HSSLIST = std::uint32_t;

// What hxDaGetDASSInfo answers.
struct HXDASSINFO {
    HDEV hDev;
    std::uint32_t subsystemType;
    std::uint32_t element;
};

// Enumeration procedures return nonzero to go on; strings are valid only during the call.
typedef BOOL(CALLBACK* BoardEnumProc)(LPSTR boardName, LPSTR driverName, LPARAM user);
typedef BOOL(CALLBACK* BoardEnumExProc)(LPSTR boardName, LPSTR driverName, HKEY boardKey,
                                        LPARAM user);
typedef BOOL(CALLBACK* SubsystemEnumProc)(LPSTR description, hxss_tag type, UINT element,
                                          LPARAM user);
typedef BOOL(CALLBACK* CapsEnumProc)(UINT kind, double value1, double value2, LPARAM user);
typedef BOOL(CALLBACK* SSListEnumProc)(HSSLIST list, HDASS hDass, LPARAM user);
// Called in place of a posted notification message (HXWM_), on the subsystem's copy thread, in
// the order the messages would have been posted, with no lock of the library held. It may call
// the library: calls on other subsystems and calls that need no answer of the copy thread (taking
// and queueing buffers, queue sizes, settings) are served as from any thread, also while another
// thread waits for the subsystem's stop or abort; hxDaStart runs at once; hxDaStop, hxDaAbort
// and hxDaReset of its own subsystem answer at once and take effect as soon as the procedure
// returns (the state and the notifications follow then); hxDaReleaseDASS of its own subsystem
// answers at once, the handle is refused from then on, and the release finishes once the
// procedure has returned (until then hxDaTerminate of its device answers HXSUBSYSINUSE).
typedef void(CALLBACK* NotifyProc)(UINT message, HDASS hDass, LPARAM value);

extern "C" {

// Devices and subsystems.
// Opens the board named `boardName` (compared without regard to case): finds its driver and
// device, loads its extension library and opens the device; each call makes a new HDEV, also for a
// board already open. HXNULLSTRING for a null name; HXDRIVERINITFAILED for a null output, a name
// longer than a board name can be, a system that is not supported, no board of that name, an
// extension library or entry point that is missing or refuses the board, a device that cannot be
// opened, or 20 boards open already.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaInitialize(LPCSTR boardName, HDEV* hDev);
// Closes a board opened by hxDaInitialize and unloads its extension library. HXSUBSYSINUSE
// while a subsystem of it is open (the board stays open).
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaTerminate(HDEV hDev);
// Opens element `element` of subsystem type `subsystemType` (hxss_tag) of the board: its file on
// the device, its configuration block with the defaults, its buffer lists and, for a streaming
// subsystem, its copy thread. The subsystem needs configuring (HXSTATE_NEEDSCONFIG).
// HXINVALIDSSHANDLE for a null output; HXINVALIDSUBSYS for a type or element the board does not
// have; HXSUBSYSINUSE when the subsystem is open already, in this program or another;
// HXCANTALLOCDASS when the process has 200 subsystems open; a buffer manager status when its lists
// cannot be made; HXGENERALFAILURE when its copy thread cannot start.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetDASS(HDEV hDev, UINT subsystemType, UINT element,
                                            HDASS* hDass);
// Closes a subsystem: ends its copy thread, frees every buffer still on its ready and done
// lists (the caller must not free them again) and closes its file, which stops the driver's
// subsystem.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaReleaseDASS(HDASS hDass);

// Names and information.
// The name of the board, cut to size - 1 characters. HXNULLSTRING for a buffer that is null or
// not writable for `size` characters.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetDeviceName(HDEV hDev, LPSTR buffer, UINT size);
// The board, subsystem type and element of a subsystem.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetDASSInfo(HDASS hDass, HXDASSINFO* info);
// How many elements the board has of subsystem type `kind` (HXDC_ADELEMENTS to
// HXDC_CTELEMENTS), or of all types together (HXDC_ALLELEMENTS). HXINVALIDSUBSYS for another
// kind.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetDevCaps(HDEV hDev, INT kind, UINT* count);
// Calls `proc` for every subsystem of the board, by type and then element, with a name such as
// "AD Unit 0", until it returns 0. HXNULLENUMPROC when `proc` is not code.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaEnumSubSystems(HDEV hDev, SubsystemEnumProc proc, LPARAM user);
// Calls `proc` for every installed board whose name and driver name can be read, until it
// returns 0. HXNULLENUMPROC when `proc` is not code; HXNOBOARDS when no board was given to it.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaEnumBoards(BoardEnumProc proc, LPARAM user);
// As hxDaEnumBoards, with each board's registry key, open only during the call.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaEnumBoardsEx(BoardEnumExProc proc, LPARAM user);
// The library's file version ("major.minor.patch.build"), cut to size - 1 characters.
// HXNULLSTRING for a null buffer; HXGENERALFAILURE when the version cannot be read.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetVersion(LPSTR buffer, UINT size);
// The file version of the board's driver, cut to size - 1 characters. HXNULLSTRING for a null
// buffer; HXGENERALFAILURE when the driver file has no version.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetDriverVersion(HDEV hDev, LPSTR buffer, UINT size);
// Renames the board named `oldName` (compared without regard to case) in its registry entries
// and in the board database. HXNOBOARDS when no board has that name, the new name is missing,
// empty, too long (over 51 characters) or another board's name (case ignored, so that every board
// keeps a name it opens by), or a registry value cannot be written.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaModifyHalcyonBoardName(LPCSTR oldName, LPCSTR newName);
// The driver name, model name (into buffers of `size` characters each) and device instance
// number of the board named `boardName`, written only when both names fit. HXNULLSTRING for a
// null name or buffer; HXBUFFERTOOSMALL when a name does not fit (nothing is written);
// HXDRIVERINITFAILED when no board has that name or a value cannot be read.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetBoardInfo(LPCSTR boardName, LPSTR driverName,
                                                 LPSTR modelName, UINT size, UINT* instance);

// Capabilities.
// The integer capability `capability` (HXSSC_*) of the subsystem; a clock limit or table value
// comes truncated toward zero. HXINVALIDSSCAP for a code that is no capability.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetSSCaps(HDASS hDass, UINT capability, UINT* value);
// The capability `capability` as a double; the table capabilities (HXSSC_RANGEMIN to
// HXSSC_RESOLUTION) answer their first entry, hxDaEnumSSCaps lists them all. HXINVALIDSSCAP for a
// code that is no capability; HXINVALIDRANGEINDEX, HXINVALIDFILTERINDEX, HXINVALIDGAININDEX or
// HXBADRESOLUTION when the subsystem has no such table.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetSSCapsEx(HDASS hDass, UINT capability, double* value);
// Calls `proc` for every entry of one of the subsystem's tables (HXENUMCAP_FILTERS, _RANGES as
// (maximum, minimum), _GAINS, _RESOLUTIONS), outside the subsystem's lock, until it returns 0.
// HXNULLENUMPROC when `proc` is not code; HXCANTENUMCAP for another kind.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaEnumSSCaps(HDASS hDass, UINT kind, CapsEnumProc proc,
                                               LPARAM user);

// Settings. Each Set is followed by its Get, which answers the stored value, or HXNOTSUPPORTED
// where the subsystem lacks the setting. A setting reaches the driver with the next hxDaConfig.
// Unless its comment says otherwise, a Set
// - answers the setting's own status (named with it) for a value out of range;
// - without the capability behind the value, accepts the stored value and refuses any other with
//   HXNOTSUPPORTED;
// - answers HXSUBSYSRUNNING while the subsystem runs (above HXSTATE_READY);
// - keeps a new value and makes the subsystem need configuring (HXSTATE_NEEDSCONFIG); the stored
//   value changes nothing.
// The counter/timer settings (gate, pulse type and width, mode, cascade, measure edges) answer
// HXNOTSUPPORTED on any subsystem but a counter/timer that is no quadrature decoder; the gate and
// pulse-type Sets go by capability alone.
// DMA channels in use: 0, 1, or 2 (or more) for two. HXNOTENOUGHDMA for a nonzero value on a
// subsystem without DMA.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetDmaUsage(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetDmaUsage(HDASS hDass, UINT* value);
// Triggered scan on (nonzero) or off; the Get answers 0 without the capability.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetTriggeredScanUsage(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetTriggeredScanUsage(HDASS hDass, UINT* value);
// The gain of channel-list entry `entry`, taken as the nearest gain of the subsystem's table.
// HXINVALIDLISTENTRY for an entry beyond the list; HXNOTSUPPORTED without a list, or for a new gain
// without a programmable gain list.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetGainListEntry(HDASS hDass, UINT entry, double gain);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetGainListEntry(HDASS hDass, UINT entry, double* gain);
// HXENCODING_BINARY or HXENCODING_TWOSCOMP. HXINVALIDENCODING for another value.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetEncoding(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetEncoding(HDASS hDass, UINT* value);
// The trigger source (HXTRIG_*). HXINVALIDTRIGGER for a value that is no source; the Get answers
// HXNOTSUPPORTED on a subsystem without triggers.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetTrigger(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetTrigger(HDASS hDass, UINT* value);
// The resolution in bits, within the subsystem's resolution table. HXINVALIDRESOLUTION outside
// it; HXNOTSUPPORTED for a new value on a subsystem whose resolution is fixed.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetResolution(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetResolution(HDASS hDass, UINT* value);
// HXCLK_INTERNAL, HXCLK_EXTERNAL or one of the board's extra clocks from HXCLK_EXTRA on.
// HXINVALIDCLOCKSOURCE for another value.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetClockSource(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetClockSource(HDASS hDass, UINT* value);
// The internal clock's frequency, brought within the board's limits (read it back for the value
// taken; after hxDaConfig it is the one the board runs at). HXNOTSUPPORTED without an internal
// clock.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetClockFrequency(HDASS hDass, double hertz);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetClockFrequency(HDASS hDass, double* hertz);
// The number of channel-list entries in use, 1 to HXSSC_LISTSIZE. HXINVALIDLISTSIZE outside;
// HXNOTSUPPORTED without a channel list (the Get then answers 0).
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetChannelListSize(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetChannelListSize(HDASS hDass, UINT* value);
// The channel of channel-list entry `entry`. HXNOTSUPPORTED without a list; HXINVALIDLISTENTRY
// for an entry beyond it; HXINVALIDCHANNEL for a channel the subsystem does not have.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetChannelListEntry(HDASS hDass, UINT entry, UINT channel);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetChannelListEntry(HDASS hDass, UINT entry, UINT* channel);
// The subsystem's input or output range, a pair that must stand in the board's range table.
// HXINVALIDRANGE for another pair; HXNORANGELIST when the board gives no table; HXNOTSUPPORTED
// without ranges.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetRange(HDASS hDass, double maximum, double minimum);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetRange(HDASS hDass, double* maximum, double* minimum);
// Accepted and not kept: no board of this library filters per channel; the Get answers 0.0.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetChannelFilter(HDASS hDass, UINT entry, double filter);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetChannelFilter(HDASS hDass, UINT entry, double* filter);
// HXCHANTYPE_SINGLEENDED or HXCHANTYPE_DIFFERENTIAL. HXINVALIDCHANNELTYPE for another value.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetChannelType(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetChannelType(HDASS hDass, UINT* value);
// The retrigger frequency of a triggered scan, brought within the board's limits.
// HXNOTSUPPORTED without an internal clock and triggered scan.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetRetriggerFrequency(HDASS hDass, double hertz);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetRetriggerFrequency(HDASS hDass, double* hertz);
// The pulse width of a counter/timer, 0 to 100 (the fraction is dropped). HXINVALIDPULSEWIDTH
// outside, or when the board's pulse width is fixed.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetPulseWidth(HDASS hDass, double width);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetPulseWidth(HDASS hDass, double* width);
// The window that receives the subsystem's notifications (HXWM_*, wParam the HDASS, lParam
// `value`), or none. HXINVALIDWINDOWHANDLE for a window that does not exist; HXNOTSUPPORTED on a
// subsystem without notifications. Always asks for a new hxDaConfig.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetWndHandle(HDASS hDass, HWND window, LPARAM value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetWndHandle(HDASS hDass, HWND* window);
// What the subsystem does when its ready list runs dry: HXWRAP_NONE, HXWRAP_MULTIPLE,
// HXWRAP_SINGLE. HXINVALIDWRAPMODE for another value; HXNOTSUPPORTED on a counter/timer or a
// subsystem that does not stream.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetWrapMode(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetWrapMode(HDASS hDass, UINT* value);
// HXDF_CONTINUOUS, HXDF_SINGLEVALUE, HXDF_CONTPRETRIG or HXDF_CONTABOUTTRIG.
// HXINVALIDDATAFLOW outside them; HXNOTSUPPORTED for the two values between (before any handle
// test) and for a flow the subsystem lacks.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetDataFlow(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetDataFlow(HDASS hDass, UINT* value);
// The divider of the external clock, within the board's limits. HXINVALIDDIVIDER outside
// them (or 0); HXNOTSUPPORTED without an external clock.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetExternalClockDivider(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetExternalClockDivider(HDASS hDass, UINT* value);
// The counter/timer's gate (HXGATE_*). HXINVALIDGATE for another value.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetGateType(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetGateType(HDASS hDass, UINT* value);
// HXPULSE_ACTIVELOW or HXPULSE_ACTIVEHIGH. HXINVALIDPULSETYPE for another value.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetPulseType(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetPulseType(HDASS hDass, UINT* value);
// The counter/timer mode (HXCTMODE_*). HXINVALIDCOUNTERMODE for another value.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetCTMode(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetCTMode(HDASS hDass, UINT* value);
// HXCASCADE_WITHNEXT or HXCASCADE_SINGLE (the Get's answer on a board that cannot cascade).
// HXINVALIDCASCADEMODE for another value.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetCascadeMode(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetCascadeMode(HDASS hDass, UINT* value);
// Whether channel-list entry `entry` is inhibited (its samples are dropped).
// HXINVALIDLISTENTRY for an entry beyond the list; HXNOTSUPPORTED without an inhibit list.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetChannelListEntryInhibit(HDASS hDass, UINT entry,
                                                               UINT inhibit);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetChannelListEntryInhibit(HDASS hDass, UINT entry,
                                                               UINT* inhibit);
// The digital output value sent with channel-list entry `entry`. HXINVALIDSYNCDIOVALUE above
// HXSSC_MAXSYNCDIOVALUE (tested first); HXINVALIDLISTENTRY; HXNOTSUPPORTED without synchronous
// digital I/O.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetDigitalIOListEntry(HDASS hDass, UINT entry, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetDigitalIOListEntry(HDASS hDass, UINT entry, UINT* value);
// Synchronous digital I/O on (nonzero) or off; the Get answers 0 without it.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetSynchronousDigitalIOUsage(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetSynchronousDigitalIOUsage(HDASS hDass, UINT* value);
// A procedure called on the copy thread in place of posting to the window (with `value` as
// its last argument), or none. HXINVALIDNOTIFYPROC when `proc` is not code; HXNOTSUPPORTED on a
// subsystem without notifications. Always asks for a new hxDaConfig.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetNotificationProcedure(HDASS hDass, NotifyProc proc,
                                                             LPARAM value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetNotificationProcedure(HDASS hDass, NotifyProc* proc);
// The range of channel `entry`, a pair of the board's range table; a channel without one follows
// the subsystem's range. HXINVALIDCHANNEL; HXINVALIDRANGE; HXNORANGELIST; HXNOTSUPPORTED without
// per-channel ranges.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetChannelRange(HDASS hDass, UINT entry, double maximum,
                                                    double minimum);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetChannelRange(HDASS hDass, UINT entry, double* maximum,
                                                    double* minimum);
// HXRETRIGGER_INTERNAL, _SCANPERTRIGGER or _EXTRA; kept at once, running or not, without a new
// configuration. HXINVALIDRETRIGGERMODE for another value.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetRetriggerMode(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetRetriggerMode(HDASS hDass, UINT* value);
// The trigger that ends the pre-trigger phase (values as hxDaSetTrigger). HXINVALIDTRIGGER;
// HXNOTSUPPORTED without a pre-trigger data flow.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetPretriggerSource(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetPretriggerSource(HDASS hDass, UINT* value);
// Scans of the channel list per trigger, 1 to HXSSC_MAXMULTISCAN.
// HXINVALIDMULTISCANCOUNT outside; the subsystem needs configuring again even then.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetMultiscanCount(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetMultiscanCount(HDASS hDass, UINT* value);
// The retrigger source (values as hxDaSetTrigger). HXINVALIDTRIGGER; HXNOTSUPPORTED without an
// extra retrigger mode.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetRetrigger(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetRetrigger(HDASS hDass, UINT* value);
// The edge that starts an edge-to-edge measurement (HXEDGE_*). HXINVALIDEDGE for an edge the
// board does not measure.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetMeasureStartEdge(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetMeasureStartEdge(HDASS hDass, UINT* value);
// The edge that stops it. HXINVALIDEDGE; HXNOTSUPPORTED for an edge without its capability.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetMeasureStopEdge(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetMeasureStopEdge(HDASS hDass, UINT* value);
// A board-specific mode byte, kept as given without any test.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetSpecialVpiConfigMode(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetSpecialVpiConfigMode(HDASS hDass, UINT* value);
// Sets a quadrature decoder at once: clock prescale, x4 scaling (nonzero) and index mode
// (HXQUADINDEX_*). HXINVALIDINDEX for another index mode; HXNOTSUPPORTED on a subsystem that is
// no decoder; HXSUBSYSRUNNING while running.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetQuadDecoder(HDASS hDass, UINT prescale, UINT x4Scaling,
                                                   UINT indexMode);

// Operations: the subsystem's state machine (HXSTATE_*) and the driver's requests.
// Stop, abort and reset of a streaming subsystem wait for its copy thread's answer; one that does
// not come within 20 s answers HXNOHWRESPONSE and leaves the transfer as it was, so that an abort
// or a release can still end it (a release never leaves a read with the driver). The 20 s count
// from the call's entry: a call on a subsystem that another thread's command holds that long
// answers HXNOHWRESPONSE too, so that the waits of several threads never add up.
//
// Sends the settings to the driver. A streaming flow checks the channel list first and makes
// the subsystem ready (HXSTATE_READY); the single-value flow makes it HXSTATE_SINGLEVALUE.
// HXSUBSYSRUNNING while running; HXINVALIDCHANNEL for a list entry the board cannot scan (the
// state is left as it was); the driver's status, after which the subsystem needs configuring
// again.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaConfig(HDASS hDass);
// Starts a configured streaming subsystem: the copy thread hands the ready buffers to the driver
// and the transfer runs. HXDATAFLOWMISMATCH for a single-value flow; HXNOTCONFIGURED before
// hxDaConfig; HXSUBSYSRUNNING while running; HXNOREADYBUFFERS with an empty ready list; the
// driver's status.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaStart(HDASS hDass);
// Stops a transfer after the buffers in process (HXWM_QUEUESTOPPED follows) and waits for
// it. HXNOTSUPPORTED without continuous transfers; HXDATAFLOWMISMATCH; HXSUBSYSNOTRUNNING.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaStop(HDASS hDass);
// Resumes a paused transfer. HXNOTSUPPORTED without pausing; HXDATAFLOWMISMATCH;
// HXSUBSYSRUNNING when it runs; HXSUBSYSNOTRUNNING when it is not paused; the driver's status.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaContinue(HDASS hDass);
// Aborts a running transfer, resets the driver's subsystem and writes the default settings
// again (the subsystem needs configuring). The driver's status.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaReset(HDASS hDass);
// Pauses a running transfer. HXNOTSUPPORTED without pausing; HXDATAFLOWMISMATCH;
// HXSUBSYSNOTRUNNING; the driver's status.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaPause(HDASS hDass);
// Ends a transfer at once; the buffers in process come back. HXNOTSUPPORTED without continuous
// transfers; HXSUBSYSNOTRUNNING.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaAbort(HDASS hDass);

// Buffers and queues of a streaming subsystem (buffers of hxmem32).
// Takes the oldest buffer of the done list; 0 when the list is empty. HXNOTSUPPORTED without
// continuous transfers; a buffer manager status.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetBuffer(HDASS hDass, HBUF* buffer);
// Appends a buffer (of hxmem32) to the ready list. HXNOTMULTIPLEOFTWO for an output buffer with
// an odd number of valid samples; HXNOTSUPPORTED without continuous transfers; a buffer manager
// status (HXINVALIDHBUF, HXBUFFERONLIST, ...).
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaPutBuffer(HDASS hDass, HBUF buffer);
// Moves every buffer of the ready list, in order, to the done list. HXSUBSYSRUNNING while
// running; HXNOTSUPPORTED without continuous transfers.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaFlushBuffers(HDASS hDass);
// How many buffers are on the ready list (HXQUEUE_READY), the done list (HXQUEUE_DONE) or in
// process (HXQUEUE_INPROCESS). HXINVALIDQUEUE for another queue.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetQueueSize(HDASS hDass, UINT queue, UINT* count);
// Copies what the buffer in process holds so far into `buffer` (`count` samples at most), which
// then comes back through the done list. HXNOTSUPPORTED; HXDATAFLOWMISMATCH; HXSUBSYSNOTRUNNING;
// HXWRAPMODEMISMATCH outside HXWRAP_NONE. The target must be in the caller's hands: one queued
// or in process, or no buffer at all, is refused with the buffer manager's status
// (HXBUFFERONLIST, HXBUFFERLOCKED, HXINVALIDHBUF).
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaFlushFromBufferInprocess(HDASS hDass, HBUF buffer, UINT count);

// Single values and events.
// Reads one code from `channel` at the gain nearest `gain`. The subsystem must be configured for
// HXDF_SINGLEVALUE: HXDATAFLOWMISMATCH for another flow, HXNOTCONFIGURED before hxDaConfig;
// HXINVALIDCHANNEL; HXNOTSUPPORTED without single values; the driver's status.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetSingleValue(HDASS hDass, UINT* value, UINT channel,
                                                   double gain);
// Writes one code to `channel`; statuses as hxDaGetSingleValue.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaPutSingleValue(HDASS hDass, UINT value, UINT channel,
                                                   double gain);
// Reads one code and its volts; with `autoRange` the board picks the gain, which `*gain`
// receives. Statuses as hxDaGetSingleValue, and HXNOTSUPPORTED for auto-ranging on a board without
// it.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetSingleValueEx(HDASS hDass, UINT channel, UINT autoRange,
                                                     double* gain, UINT* value, double* volts);
// Reads one code from every channel at the gain nearest `gain`, writing HXSSC_NUMCHANNELS values
// (differential and single-ended alike, up to 78) whatever the status: size the array by that
// capability. Statuses as hxDaGetSingleValue.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetSingleValues(HDASS hDass, UINT* values, double gain);
// The event count of a counter/timer. HXNOTSUPPORTED on a subsystem that does not count;
// HXWRONGCOUNTERMODE in a mode that does not count; the driver's status.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaReadEvents(HDASS hDass, UINT* count);
// Counts events on a counter/timer for `gateSeconds` and then posts HXWM_MEASUREDONE to
// `window` with the frequency, a float, as lParam. HXNOMEASUREWINDOW for a null window;
// HXINVALIDCOUNTDURATION for a gate time outside 0.001 to 4294967 s; the status of setting the
// mode, configuring or starting; HXGENERALFAILURE when the timer cannot be set.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaMeasureFrequency(HDASS hDass, HWND window, double gateSeconds);

// Transfer-connection entries of boards without that interface: each answers HXNOTSUPPORTED.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaMQConnectBurst(HDASS hDass, UINT argument1, UINT argument2);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetMQConnectTransferSize(HDASS hDass, UINT size);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetMQConnectTransferSize(HDASS hDass, UINT* size);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetMQConnectTransferCount(HDASS hDass, UINT count);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetMQConnectTransferCount(HDASS hDass, UINT* count);

// Simultaneous start.
// A new, empty simultaneous-start list. HXCANTALLOCSSLIST when it cannot be made.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetSSList(HSSLIST* list);
// Frees a simultaneous-start list (its subsystems stay open). HXINVALIDSSLIST for a handle
// that is not a live list.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaReleaseSSList(HSSLIST list);
// Adds a subsystem to the list. HXINVALIDSSLIST; HXALREADYONSSLIST; HXNOTSUPPORTED for a
// subsystem that cannot start simultaneously.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaPutDassToSSList(HSSLIST list, HDASS hDass);
// Prestarts every subsystem of the list in order (reads queued, waiting for
// hxDaSimultaneousStart). HXINVALIDSSLIST; HXEMPTYSSLIST; HXINVALIDSSLISTMEMBER when a member was
// released (nothing is sent); else the first failing member's status.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSimultaneousPrestart(HSSLIST list);
// Starts every prestarted subsystem of the list in order. Statuses as hxDaSimultaneousPrestart,
// and HXNOTPRESTARTED for a member that was not prestarted.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSimultaneousStart(HSSLIST list);
// Calls `proc` for every subsystem of the list until it returns 0 (a `proc` that is not code is
// skipped). HXINVALIDSSLIST; HXEMPTYSSLIST; HXINVALIDSSLISTMEMBER.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaEnumSSList(HSSLIST list, SSListEnumProc proc, LPARAM user);

// Conversion between codes and volts.
// The volts of converter code `code` for a range, gain, resolution and encoding (no clamping).
// HXINVALIDRESOLUTION above 32 bits; HXINVALIDENCODING; HXINVALIDRANGE when the minimum is not
// below the maximum; HXINVALIDGAIN for a gain not above 0.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaCodeToVolts(double minimum, double maximum, double gain,
                                                UINT resolution, UINT encoding, INT code,
                                                double* volts);
// The converter code of `volts`, truncated toward zero and not clamped to the code range.
// Statuses as hxDaCodeToVolts.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaVoltsToCode(double minimum, double maximum, double gain,
                                                UINT resolution, UINT encoding, double volts,
                                                INT* code);

// Board requests.
// Reads a board register of `size` bytes. The driver's status; HXGENERALFAILURE when the request
// cannot be delivered (so for every request on the board below).
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDiagReadReg(HDEV hDev, UINT registerNumber, UINT* value,
                                              UINT size);
// Writes a board register of `size` bytes. The driver's status.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDiagWriteReg(HDEV hDev, UINT registerNumber, UINT value,
                                               UINT size);
// Writes the board's hardware information (three words, serial number, trailing word and, when
// `block` is not null, the 128-byte block). The driver's status.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetHardwareInfo(HDEV hDev, WORD wordA, WORD wordB, WORD wordC,
                                                    UINT serialNumber, UINT trailingWord,
                                                    const BYTE* block);
// Reads the board's hardware information into every output that is not null. The driver's
// status.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetHardwareInfo(HDEV hDev, UINT* leadingWord, WORD* wordA,
                                                    WORD* wordB, WORD* wordC, UINT* serialNumber,
                                                    UINT* trailingWord, BYTE* block);
// Writes a calibration potentiometer. HXNOERROR once the request was delivered, whatever the
// driver answered.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDiagWriteCalPot(HDEV hDev, UINT potentiometer, UINT selector,
                                                  UINT element, UINT value);
// Reads a calibration potentiometer; `*value` is written only when the driver succeeded.
// HXNOERROR once the request was delivered.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDiagReadCalPot(HDEV hDev, UINT potentiometer, UINT selector,
                                                 UINT element, UINT* value);

// The text of a status (also of an internal message code) into buffer: at most size - 1
// characters and a terminating zero. Returns buffer, or null when there is nothing to give.
HXDAAPI32_EXPORT LPSTR HXAPI hxDaGetErrorString(HXSTATUS status, LPSTR buffer, UINT size);

}  // extern "C"
