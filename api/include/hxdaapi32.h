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
HXSTATUS HXAPI hxDaInitialize(LPCSTR boardName, HDEV* hDev);
HXSTATUS HXAPI hxDaTerminate(HDEV hDev);
HXSTATUS HXAPI hxDaGetDASS(HDEV hDev, UINT subsystemType, UINT element, HDASS* hDass);
HXSTATUS HXAPI hxDaReleaseDASS(HDASS hDass);

// Names and information.
HXSTATUS HXAPI hxDaGetDeviceName(HDEV hDev, LPSTR buffer, UINT size);
HXSTATUS HXAPI hxDaGetDASSInfo(HDASS hDass, HXDASSINFO* info);
HXSTATUS HXAPI hxDaGetDevCaps(HDEV hDev, INT kind, UINT* count);
HXSTATUS HXAPI hxDaEnumSubSystems(HDEV hDev, SubsystemEnumProc proc, LPARAM user);
HXSTATUS HXAPI hxDaEnumBoards(BoardEnumProc proc, LPARAM user);
HXSTATUS HXAPI hxDaEnumBoardsEx(BoardEnumExProc proc, LPARAM user);
HXSTATUS HXAPI hxDaGetVersion(LPSTR buffer, UINT size);
HXSTATUS HXAPI hxDaGetDriverVersion(HDEV hDev, LPSTR buffer, UINT size);
HXSTATUS HXAPI hxDaModifyHalcyonBoardName(LPCSTR oldName, LPCSTR newName);
HXSTATUS HXAPI hxDaGetBoardInfo(LPCSTR boardName, LPSTR driverName, LPSTR modelName, UINT size,
                                UINT* instance);

// Capabilities.
HXSTATUS HXAPI hxDaGetSSCaps(HDASS hDass, UINT capability, UINT* value);
HXSTATUS HXAPI hxDaGetSSCapsEx(HDASS hDass, UINT capability, double* value);
HXSTATUS HXAPI hxDaEnumSSCaps(HDASS hDass, UINT kind, CapsEnumProc proc, LPARAM user);

// Settings. A setting reaches the driver with the next hxDaConfig.
HXSTATUS HXAPI hxDaSetDmaUsage(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetDmaUsage(HDASS hDass, UINT* value);
HXSTATUS HXAPI hxDaSetTriggeredScanUsage(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetTriggeredScanUsage(HDASS hDass, UINT* value);
HXSTATUS HXAPI hxDaSetGainListEntry(HDASS hDass, UINT entry, double gain);
HXSTATUS HXAPI hxDaGetGainListEntry(HDASS hDass, UINT entry, double* gain);
HXSTATUS HXAPI hxDaSetEncoding(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetEncoding(HDASS hDass, UINT* value);
HXSTATUS HXAPI hxDaSetTrigger(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetTrigger(HDASS hDass, UINT* value);
HXSTATUS HXAPI hxDaSetResolution(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetResolution(HDASS hDass, UINT* value);
HXSTATUS HXAPI hxDaSetClockSource(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetClockSource(HDASS hDass, UINT* value);
HXSTATUS HXAPI hxDaSetClockFrequency(HDASS hDass, double hertz);
HXSTATUS HXAPI hxDaGetClockFrequency(HDASS hDass, double* hertz);
HXSTATUS HXAPI hxDaSetChannelListSize(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetChannelListSize(HDASS hDass, UINT* value);
HXSTATUS HXAPI hxDaSetChannelListEntry(HDASS hDass, UINT entry, UINT channel);
HXSTATUS HXAPI hxDaGetChannelListEntry(HDASS hDass, UINT entry, UINT* channel);
HXSTATUS HXAPI hxDaSetRange(HDASS hDass, double maximum, double minimum);
HXSTATUS HXAPI hxDaGetRange(HDASS hDass, double* maximum, double* minimum);
HXSTATUS HXAPI hxDaSetChannelFilter(HDASS hDass, UINT entry, double filter);
HXSTATUS HXAPI hxDaGetChannelFilter(HDASS hDass, UINT entry, double* filter);
HXSTATUS HXAPI hxDaSetChannelType(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetChannelType(HDASS hDass, UINT* value);
HXSTATUS HXAPI hxDaSetRetriggerFrequency(HDASS hDass, double hertz);
HXSTATUS HXAPI hxDaGetRetriggerFrequency(HDASS hDass, double* hertz);
HXSTATUS HXAPI hxDaSetPulseWidth(HDASS hDass, double width);
HXSTATUS HXAPI hxDaGetPulseWidth(HDASS hDass, double* width);
HXSTATUS HXAPI hxDaSetWndHandle(HDASS hDass, HWND window, LPARAM value);
HXSTATUS HXAPI hxDaGetWndHandle(HDASS hDass, HWND* window);
HXSTATUS HXAPI hxDaSetWrapMode(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetWrapMode(HDASS hDass, UINT* value);
HXSTATUS HXAPI hxDaSetDataFlow(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetDataFlow(HDASS hDass, UINT* value);
HXSTATUS HXAPI hxDaSetExternalClockDivider(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetExternalClockDivider(HDASS hDass, UINT* value);
HXSTATUS HXAPI hxDaSetGateType(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetGateType(HDASS hDass, UINT* value);
HXSTATUS HXAPI hxDaSetPulseType(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetPulseType(HDASS hDass, UINT* value);
HXSTATUS HXAPI hxDaSetCTMode(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetCTMode(HDASS hDass, UINT* value);
HXSTATUS HXAPI hxDaSetCascadeMode(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetCascadeMode(HDASS hDass, UINT* value);
HXSTATUS HXAPI hxDaSetChannelListEntryInhibit(HDASS hDass, UINT entry, UINT inhibit);
HXSTATUS HXAPI hxDaGetChannelListEntryInhibit(HDASS hDass, UINT entry, UINT* inhibit);
HXSTATUS HXAPI hxDaSetDigitalIOListEntry(HDASS hDass, UINT entry, UINT value);
HXSTATUS HXAPI hxDaGetDigitalIOListEntry(HDASS hDass, UINT entry, UINT* value);
HXSTATUS HXAPI hxDaSetSynchronousDigitalIOUsage(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetSynchronousDigitalIOUsage(HDASS hDass, UINT* value);
HXSTATUS HXAPI hxDaSetNotificationProcedure(HDASS hDass, NotifyProc proc, LPARAM value);
HXSTATUS HXAPI hxDaGetNotificationProcedure(HDASS hDass, NotifyProc* proc);
HXSTATUS HXAPI hxDaSetChannelRange(HDASS hDass, UINT entry, double maximum, double minimum);
HXSTATUS HXAPI hxDaGetChannelRange(HDASS hDass, UINT entry, double* maximum, double* minimum);
HXSTATUS HXAPI hxDaSetRetriggerMode(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetRetriggerMode(HDASS hDass, UINT* value);
HXSTATUS HXAPI hxDaSetPretriggerSource(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetPretriggerSource(HDASS hDass, UINT* value);
HXSTATUS HXAPI hxDaSetMultiscanCount(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetMultiscanCount(HDASS hDass, UINT* value);
// The retrigger source.
HXSTATUS HXAPI hxDaSetRetrigger(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetRetrigger(HDASS hDass, UINT* value);
HXSTATUS HXAPI hxDaSetMeasureStartEdge(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetMeasureStartEdge(HDASS hDass, UINT* value);
HXSTATUS HXAPI hxDaSetMeasureStopEdge(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetMeasureStopEdge(HDASS hDass, UINT* value);
HXSTATUS HXAPI hxDaSetSpecialVpiConfigMode(HDASS hDass, UINT value);
HXSTATUS HXAPI hxDaGetSpecialVpiConfigMode(HDASS hDass, UINT* value);
HXSTATUS HXAPI hxDaSetQuadDecoder(HDASS hDass, UINT prescale, UINT x4Scaling, UINT indexMode);

// Operations.
HXSTATUS HXAPI hxDaConfig(HDASS hDass);
HXSTATUS HXAPI hxDaStart(HDASS hDass);
HXSTATUS HXAPI hxDaStop(HDASS hDass);
HXSTATUS HXAPI hxDaContinue(HDASS hDass);
HXSTATUS HXAPI hxDaReset(HDASS hDass);
HXSTATUS HXAPI hxDaPause(HDASS hDass);
HXSTATUS HXAPI hxDaAbort(HDASS hDass);

// Buffers and queues.
HXSTATUS HXAPI hxDaGetBuffer(HDASS hDass, HBUF* buffer);
HXSTATUS HXAPI hxDaPutBuffer(HDASS hDass, HBUF buffer);
HXSTATUS HXAPI hxDaFlushBuffers(HDASS hDass);
HXSTATUS HXAPI hxDaGetQueueSize(HDASS hDass, UINT queue, UINT* count);
HXSTATUS HXAPI hxDaFlushFromBufferInprocess(HDASS hDass, HBUF buffer, UINT count);

// Single values and events.
HXSTATUS HXAPI hxDaGetSingleValue(HDASS hDass, UINT* value, UINT channel, double gain);
HXSTATUS HXAPI hxDaPutSingleValue(HDASS hDass, UINT value, UINT channel, double gain);
HXSTATUS HXAPI hxDaGetSingleValueEx(HDASS hDass, UINT channel, UINT autoRange, double* gain,
                                    UINT* value, double* volts);
HXSTATUS HXAPI hxDaGetSingleValues(HDASS hDass, UINT* values, double gain);
HXSTATUS HXAPI hxDaReadEvents(HDASS hDass, UINT* count);
HXSTATUS HXAPI hxDaMeasureFrequency(HDASS hDass, HWND window, double gateSeconds);

// Transfer-connection entries of boards without that interface: each answers HXNOTSUPPORTED.
HXSTATUS HXAPI hxDaMQConnectBurst(HDASS hDass, UINT argument1, UINT argument2);
HXSTATUS HXAPI hxDaSetMQConnectTransferSize(HDASS hDass, UINT size);
HXSTATUS HXAPI hxDaGetMQConnectTransferSize(HDASS hDass, UINT* size);
HXSTATUS HXAPI hxDaSetMQConnectTransferCount(HDASS hDass, UINT count);
HXSTATUS HXAPI hxDaGetMQConnectTransferCount(HDASS hDass, UINT* count);

// Simultaneous start.
HXSTATUS HXAPI hxDaGetSSList(HSSLIST* list);
HXSTATUS HXAPI hxDaReleaseSSList(HSSLIST list);
HXSTATUS HXAPI hxDaPutDassToSSList(HSSLIST list, HDASS hDass);
HXSTATUS HXAPI hxDaSimultaneousPrestart(HSSLIST list);
HXSTATUS HXAPI hxDaSimultaneousStart(HSSLIST list);
HXSTATUS HXAPI hxDaEnumSSList(HSSLIST list, SSListEnumProc proc, LPARAM user);

// Conversion between codes and volts.
HXSTATUS HXAPI hxDaCodeToVolts(double minimum, double maximum, double gain, UINT resolution,
                               UINT encoding, INT code, double* volts);
HXSTATUS HXAPI hxDaVoltsToCode(double minimum, double maximum, double gain, UINT resolution,
                               UINT encoding, double volts, INT* code);

// Board requests.
HXSTATUS HXAPI hxDiagReadReg(HDEV hDev, UINT registerNumber, UINT* value, UINT size);
HXSTATUS HXAPI hxDiagWriteReg(HDEV hDev, UINT registerNumber, UINT value, UINT size);
HXSTATUS HXAPI hxDaSetHardwareInfo(HDEV hDev, WORD wordA, WORD wordB, WORD wordC, UINT serialNumber,
                                   UINT trailingWord, const BYTE* block);
HXSTATUS HXAPI hxDaGetHardwareInfo(HDEV hDev, UINT* leadingWord, WORD* wordA, WORD* wordB,
                                   WORD* wordC, UINT* serialNumber, UINT* trailingWord,
                                   BYTE* block);
HXSTATUS HXAPI hxDiagWriteCalPot(HDEV hDev, UINT potentiometer, UINT selector, UINT element,
                                 UINT value);
HXSTATUS HXAPI hxDiagReadCalPot(HDEV hDev, UINT potentiometer, UINT selector, UINT element,
                                UINT* value);

// The text of a status (also of an internal message code) into buffer: at most size - 1
// characters and a terminating zero. Returns buffer, or null when there is nothing to give.
LPSTR HXAPI hxDaGetErrorString(HXSTATUS status, LPSTR buffer, UINT size);

}  // extern "C"
