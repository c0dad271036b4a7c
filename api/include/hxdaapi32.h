// The data-acquisition API: every program reaches a board through these functions. Each returns a
// status (HXNOERROR on success; hxdacodes.h) and writes its outputs only on success.
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
// Called in place of a posted notification message (HXWM_).
typedef void(CALLBACK* NotifyProc)(UINT message, HDASS hDass, LPARAM value);

extern "C" {

// Devices and subsystems.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaInitialize(LPCSTR boardName, HDEV* hDev);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaTerminate(HDEV hDev);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetDASS(HDEV hDev, UINT subsystemType, UINT element,
                                            HDASS* hDass);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaReleaseDASS(HDASS hDass);

// Names and information.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetDeviceName(HDEV hDev, LPSTR buffer, UINT size);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetDASSInfo(HDASS hDass, HXDASSINFO* info);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetDevCaps(HDEV hDev, INT kind, UINT* count);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaEnumSubSystems(HDEV hDev, SubsystemEnumProc proc, LPARAM user);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaEnumBoards(BoardEnumProc proc, LPARAM user);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaEnumBoardsEx(BoardEnumExProc proc, LPARAM user);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetVersion(LPSTR buffer, UINT size);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetDriverVersion(HDEV hDev, LPSTR buffer, UINT size);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaModifyHalcyonBoardName(LPCSTR oldName, LPCSTR newName);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetBoardInfo(LPCSTR boardName, LPSTR driverName,
                                                 LPSTR modelName, UINT size, UINT* instance);

// Capabilities.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetSSCaps(HDASS hDass, UINT capability, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetSSCapsEx(HDASS hDass, UINT capability, double* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaEnumSSCaps(HDASS hDass, UINT kind, CapsEnumProc proc,
                                               LPARAM user);

// Settings. A setting reaches the driver with the next hxDaConfig.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetDmaUsage(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetDmaUsage(HDASS hDass, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetTriggeredScanUsage(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetTriggeredScanUsage(HDASS hDass, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetGainListEntry(HDASS hDass, UINT entry, double gain);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetGainListEntry(HDASS hDass, UINT entry, double* gain);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetEncoding(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetEncoding(HDASS hDass, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetTrigger(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetTrigger(HDASS hDass, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetResolution(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetResolution(HDASS hDass, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetClockSource(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetClockSource(HDASS hDass, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetClockFrequency(HDASS hDass, double hertz);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetClockFrequency(HDASS hDass, double* hertz);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetChannelListSize(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetChannelListSize(HDASS hDass, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetChannelListEntry(HDASS hDass, UINT entry, UINT channel);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetChannelListEntry(HDASS hDass, UINT entry, UINT* channel);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetRange(HDASS hDass, double maximum, double minimum);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetRange(HDASS hDass, double* maximum, double* minimum);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetChannelFilter(HDASS hDass, UINT entry, double filter);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetChannelFilter(HDASS hDass, UINT entry, double* filter);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetChannelType(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetChannelType(HDASS hDass, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetRetriggerFrequency(HDASS hDass, double hertz);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetRetriggerFrequency(HDASS hDass, double* hertz);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetPulseWidth(HDASS hDass, double width);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetPulseWidth(HDASS hDass, double* width);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetWndHandle(HDASS hDass, HWND window, LPARAM value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetWndHandle(HDASS hDass, HWND* window);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetWrapMode(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetWrapMode(HDASS hDass, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetDataFlow(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetDataFlow(HDASS hDass, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetExternalClockDivider(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetExternalClockDivider(HDASS hDass, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetGateType(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetGateType(HDASS hDass, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetPulseType(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetPulseType(HDASS hDass, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetCTMode(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetCTMode(HDASS hDass, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetCascadeMode(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetCascadeMode(HDASS hDass, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetChannelListEntryInhibit(HDASS hDass, UINT entry,
                                                               UINT inhibit);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetChannelListEntryInhibit(HDASS hDass, UINT entry,
                                                               UINT* inhibit);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetDigitalIOListEntry(HDASS hDass, UINT entry, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetDigitalIOListEntry(HDASS hDass, UINT entry, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetSynchronousDigitalIOUsage(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetSynchronousDigitalIOUsage(HDASS hDass, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetNotificationProcedure(HDASS hDass, NotifyProc proc,
                                                             LPARAM value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetNotificationProcedure(HDASS hDass, NotifyProc* proc);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetChannelRange(HDASS hDass, UINT entry, double maximum,
                                                    double minimum);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetChannelRange(HDASS hDass, UINT entry, double* maximum,
                                                    double* minimum);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetRetriggerMode(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetRetriggerMode(HDASS hDass, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetPretriggerSource(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetPretriggerSource(HDASS hDass, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetMultiscanCount(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetMultiscanCount(HDASS hDass, UINT* value);
// The retrigger source.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetRetrigger(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetRetrigger(HDASS hDass, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetMeasureStartEdge(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetMeasureStartEdge(HDASS hDass, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetMeasureStopEdge(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetMeasureStopEdge(HDASS hDass, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetSpecialVpiConfigMode(HDASS hDass, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetSpecialVpiConfigMode(HDASS hDass, UINT* value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetQuadDecoder(HDASS hDass, UINT prescale, UINT x4Scaling,
                                                   UINT indexMode);

// Operations.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaConfig(HDASS hDass);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaStart(HDASS hDass);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaStop(HDASS hDass);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaContinue(HDASS hDass);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaReset(HDASS hDass);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaPause(HDASS hDass);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaAbort(HDASS hDass);

// Buffers and queues.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetBuffer(HDASS hDass, HBUF* buffer);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaPutBuffer(HDASS hDass, HBUF buffer);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaFlushBuffers(HDASS hDass);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetQueueSize(HDASS hDass, UINT queue, UINT* count);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaFlushFromBufferInprocess(HDASS hDass, HBUF buffer, UINT count);

// Single values and events.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetSingleValue(HDASS hDass, UINT* value, UINT channel,
                                                   double gain);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaPutSingleValue(HDASS hDass, UINT value, UINT channel,
                                                   double gain);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetSingleValueEx(HDASS hDass, UINT channel, UINT autoRange,
                                                     double* gain, UINT* value, double* volts);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetSingleValues(HDASS hDass, UINT* values, double gain);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaReadEvents(HDASS hDass, UINT* count);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaMeasureFrequency(HDASS hDass, HWND window, double gateSeconds);

// Transfer-connection entries of boards without that interface: each answers HXNOTSUPPORTED.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaMQConnectBurst(HDASS hDass, UINT argument1, UINT argument2);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetMQConnectTransferSize(HDASS hDass, UINT size);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetMQConnectTransferSize(HDASS hDass, UINT* size);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetMQConnectTransferCount(HDASS hDass, UINT count);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetMQConnectTransferCount(HDASS hDass, UINT* count);

// Simultaneous start.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetSSList(HSSLIST* list);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaReleaseSSList(HSSLIST list);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaPutDassToSSList(HSSLIST list, HDASS hDass);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSimultaneousPrestart(HSSLIST list);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSimultaneousStart(HSSLIST list);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaEnumSSList(HSSLIST list, SSListEnumProc proc, LPARAM user);

// Conversion between codes and volts.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaCodeToVolts(double minimum, double maximum, double gain,
                                                UINT resolution, UINT encoding, INT code,
                                                double* volts);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaVoltsToCode(double minimum, double maximum, double gain,
                                                UINT resolution, UINT encoding, double volts,
                                                INT* code);

// Board requests.
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDiagReadReg(HDEV hDev, UINT registerNumber, UINT* value,
                                              UINT size);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDiagWriteReg(HDEV hDev, UINT registerNumber, UINT value,
                                               UINT size);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaSetHardwareInfo(HDEV hDev, WORD wordA, WORD wordB, WORD wordC,
                                                    UINT serialNumber, UINT trailingWord,
                                                    const BYTE* block);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDaGetHardwareInfo(HDEV hDev, UINT* leadingWord, WORD* wordA,
                                                    WORD* wordB, WORD* wordC, UINT* serialNumber,
                                                    UINT* trailingWord, BYTE* block);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDiagWriteCalPot(HDEV hDev, UINT potentiometer, UINT selector,
                                                  UINT element, UINT value);
HXDAAPI32_EXPORT HXSTATUS HXAPI hxDiagReadCalPot(HDEV hDev, UINT potentiometer, UINT selector,
                                                 UINT element, UINT* value);

// The text of a status (also of an internal message code) into buffer: at most size - 1
// characters and a terminating zero. Returns buffer, or null when there is nothing to give.
HXDAAPI32_EXPORT LPSTR HXAPI hxDaGetErrorString(HXSTATUS status, LPSTR buffer, UINT size);

}  // extern "C"
