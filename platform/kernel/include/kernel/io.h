// I/O manager objects and calls: drivers, devices, files, IRPs and their stack locations, MDLs.
// Our own declarations with the platform's names and field meanings, as far as drivers use them.
#pragma once

#include "kernel/ke.h"
#include "kernel/ntdef.h"
#include "kernel/ntstatus.h"

struct DRIVER_OBJECT;
struct DEVICE_OBJECT;
struct FILE_OBJECT;
struct IRP;
struct IO_STACK_LOCATION;
struct MDL;      // opaque: use MmGetSystemAddressForMdlSafe and MmGetMdlByteCount
struct ETHREAD;  // opaque: names the thread that issued a request
using PDRIVER_OBJECT = DRIVER_OBJECT*;
using PDEVICE_OBJECT = DEVICE_OBJECT*;
using PFILE_OBJECT = FILE_OBJECT*;
using PIRP = IRP*;
using PIO_STACK_LOCATION = IO_STACK_LOCATION*;
using PMDL = MDL*;
using PETHREAD = ETHREAD*;

// ---- Codes -------------------------------------------------------------------------------------

#define IRP_MJ_CREATE 0x00
#define IRP_MJ_CREATE_NAMED_PIPE 0x01
#define IRP_MJ_CLOSE 0x02
#define IRP_MJ_READ 0x03
#define IRP_MJ_WRITE 0x04
#define IRP_MJ_QUERY_INFORMATION 0x05
#define IRP_MJ_SET_INFORMATION 0x06
#define IRP_MJ_FLUSH_BUFFERS 0x09
#define IRP_MJ_DEVICE_CONTROL 0x0E
#define IRP_MJ_INTERNAL_DEVICE_CONTROL 0x0F
#define IRP_MJ_SHUTDOWN 0x10
#define IRP_MJ_CLEANUP 0x12
#define IRP_MJ_POWER 0x16
#define IRP_MJ_SYSTEM_CONTROL 0x17
#define IRP_MJ_PNP 0x1B
#define IRP_MJ_MAXIMUM_FUNCTION 0x1B

#define IRP_MN_START_DEVICE 0x00
#define IRP_MN_QUERY_REMOVE_DEVICE 0x01
#define IRP_MN_REMOVE_DEVICE 0x02
#define IRP_MN_CANCEL_REMOVE_DEVICE 0x03
#define IRP_MN_STOP_DEVICE 0x04
#define IRP_MN_QUERY_STOP_DEVICE 0x05
#define IRP_MN_CANCEL_STOP_DEVICE 0x06
#define IRP_MN_QUERY_DEVICE_RELATIONS 0x07
#define IRP_MN_QUERY_INTERFACE 0x08
#define IRP_MN_QUERY_CAPABILITIES 0x09
#define IRP_MN_QUERY_RESOURCES 0x0A
#define IRP_MN_QUERY_RESOURCE_REQUIREMENTS 0x0B
#define IRP_MN_QUERY_DEVICE_TEXT 0x0C
#define IRP_MN_FILTER_RESOURCE_REQUIREMENTS 0x0D
#define IRP_MN_READ_CONFIG 0x0F
#define IRP_MN_WRITE_CONFIG 0x10
#define IRP_MN_EJECT 0x11
#define IRP_MN_SET_LOCK 0x12
#define IRP_MN_QUERY_ID 0x13
#define IRP_MN_QUERY_PNP_DEVICE_STATE 0x14
#define IRP_MN_QUERY_BUS_INFORMATION 0x15
#define IRP_MN_DEVICE_USAGE_NOTIFICATION 0x16
#define IRP_MN_SURPRISE_REMOVAL 0x17

#define IRP_MN_WAIT_WAKE 0x00
#define IRP_MN_POWER_SEQUENCE 0x01
#define IRP_MN_SET_POWER 0x02
#define IRP_MN_QUERY_POWER 0x03

// Stack location Control bits.
#define SL_PENDING_RETURNED 0x01
#define SL_INVOKE_ON_CANCEL 0x20
#define SL_INVOKE_ON_SUCCESS 0x40
#define SL_INVOKE_ON_ERROR 0x80

// Device object flags, types and characteristics.
#define DO_BUFFERED_IO 0x00000004
#define DO_EXCLUSIVE 0x00000008
#define DO_DIRECT_IO 0x00000010
#define DO_DEVICE_INITIALIZING 0x00000080
#define DO_POWER_PAGABLE 0x00002000
#define DO_POWER_INRUSH 0x00004000
using DEVICE_TYPE = ULONG;
#define FILE_DEVICE_BUS_EXTENDER 0x0000002A
#define FILE_DEVICE_SECURE_OPEN 0x00000100

// Device-control codes: CTL_CODE and the methods come with the base declarations.
#define IOCTL_INTERNAL_USB_SUBMIT_URB 0x220003

// ---- Power and capabilities --------------------------------------------------------------------

enum SYSTEM_POWER_STATE {
    PowerSystemUnspecified = 0,
    PowerSystemWorking = 1,
    PowerSystemSleeping1 = 2,
    PowerSystemSleeping2 = 3,
    PowerSystemSleeping3 = 4,
    PowerSystemHibernate = 5,
    PowerSystemShutdown = 6,
    PowerSystemMaximum = 7
};
enum DEVICE_POWER_STATE {
    PowerDeviceUnspecified = 0,
    PowerDeviceD0 = 1,
    PowerDeviceD1 = 2,
    PowerDeviceD2 = 3,
    PowerDeviceD3 = 4,
    PowerDeviceMaximum = 5
};
union POWER_STATE {
    SYSTEM_POWER_STATE SystemState;
    DEVICE_POWER_STATE DeviceState;
};
enum POWER_STATE_TYPE { SystemPowerState = 0, DevicePowerState = 1 };
enum POWER_ACTION { PowerActionNone = 0 };

struct DEVICE_CAPABILITIES {
    USHORT Size;
    USHORT Version;
    ULONG DeviceD1 : 1;
    ULONG DeviceD2 : 1;
    ULONG LockSupported : 1;
    ULONG EjectSupported : 1;
    ULONG Removable : 1;
    ULONG DockDevice : 1;
    ULONG UniqueID : 1;
    ULONG SilentInstall : 1;
    ULONG RawDeviceOK : 1;
    ULONG SurpriseRemovalOK : 1;  // bit 9
    ULONG WakeFromD0 : 1;
    ULONG WakeFromD1 : 1;
    ULONG WakeFromD2 : 1;
    ULONG WakeFromD3 : 1;
    ULONG HardwareDisabled : 1;
    ULONG NonDynamic : 1;
    ULONG WarmEjectSupported : 1;
    ULONG NoDisplayInUI : 1;
    ULONG Reserved : 14;
    ULONG Address;
    ULONG UINumber;
    DEVICE_POWER_STATE DeviceState[PowerSystemMaximum];
    SYSTEM_POWER_STATE SystemWake;
    DEVICE_POWER_STATE DeviceWake;
    ULONG D1Latency;
    ULONG D2Latency;
    ULONG D3Latency;
};
using PDEVICE_CAPABILITIES = DEVICE_CAPABILITIES*;

enum DEVICE_RELATION_TYPE {
    BusRelations = 0,
    EjectionRelations = 1,
    PowerRelations = 2,
    RemovalRelations = 3,
    TargetDeviceRelation = 4
};

// ---- Routines drivers provide ------------------------------------------------------------------

using DRIVER_INITIALIZE = NTSTATUS(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
using DRIVER_DISPATCH = NTSTATUS(PDEVICE_OBJECT device, PIRP irp);
using DRIVER_UNLOAD = void(PDRIVER_OBJECT driver);
using DRIVER_ADD_DEVICE = NTSTATUS(PDRIVER_OBJECT driver, PDEVICE_OBJECT physicalDevice);
using DRIVER_CANCEL = void(PDEVICE_OBJECT device, PIRP irp);
using DRIVER_STARTIO = void(PDEVICE_OBJECT device, PIRP irp);
using IO_COMPLETION_ROUTINE = NTSTATUS(PDEVICE_OBJECT device, PIRP irp, PVOID context);
using PDRIVER_INITIALIZE = DRIVER_INITIALIZE*;
using PDRIVER_DISPATCH = DRIVER_DISPATCH*;
using PDRIVER_UNLOAD = DRIVER_UNLOAD*;
using PDRIVER_ADD_DEVICE = DRIVER_ADD_DEVICE*;
using PDRIVER_CANCEL = DRIVER_CANCEL*;
using PDRIVER_STARTIO = DRIVER_STARTIO*;
using PIO_COMPLETION_ROUTINE = IO_COMPLETION_ROUTINE*;

// ---- Objects -----------------------------------------------------------------------------------

struct DRIVER_EXTENSION {
    PDRIVER_OBJECT DriverObject;
    PDRIVER_ADD_DEVICE AddDevice;
    ULONG Count;
    UNICODE_STRING ServiceKeyName;
};
using PDRIVER_EXTENSION = DRIVER_EXTENSION*;

struct DRIVER_OBJECT {
    CSHORT Type;
    CSHORT Size;
    PDEVICE_OBJECT DeviceObject;  // the driver's devices, linked by NextDevice
    ULONG Flags;
    PVOID DriverStart;
    ULONG DriverSize;
    PVOID DriverSection;
    PDRIVER_EXTENSION DriverExtension;
    UNICODE_STRING DriverName;
    PUNICODE_STRING HardwareDatabase;
    PVOID FastIoDispatch;
    PDRIVER_INITIALIZE DriverInit;
    PDRIVER_STARTIO DriverStartIo;
    PDRIVER_UNLOAD DriverUnload;
    // Every entry starts as the I/O manager's own routine, which fails the request with
    // STATUS_INVALID_DEVICE_REQUEST without reaching the driver.
    PDRIVER_DISPATCH MajorFunction[IRP_MJ_MAXIMUM_FUNCTION + 1];
};

struct KDEVICE_QUEUE_ENTRY {
    LIST_ENTRY DeviceListEntry;
    ULONG SortKey;
    BOOLEAN Inserted;
};
using PKDEVICE_QUEUE_ENTRY = KDEVICE_QUEUE_ENTRY*;
struct KDEVICE_QUEUE {
    CSHORT Type;
    CSHORT Size;
    LIST_ENTRY DeviceListHead;
    KSPIN_LOCK Lock;
    BOOLEAN Busy;
};
using PKDEVICE_QUEUE = KDEVICE_QUEUE*;
// The device queue is never used by our drivers: always empty.
PKDEVICE_QUEUE_ENTRY KeRemoveDeviceQueue(PKDEVICE_QUEUE queue);

struct DEVICE_OBJECT {
    CSHORT Type;
    USHORT Size;
    LONG ReferenceCount;
    PDRIVER_OBJECT DriverObject;
    PDEVICE_OBJECT NextDevice;
    PDEVICE_OBJECT AttachedDevice;  // the device attached on top of this one, if any
    PIRP CurrentIrp;
    ULONG Flags;
    ULONG Characteristics;
    PVOID DeviceExtension;  // zero-filled storage of the size given to IoCreateDevice
    DEVICE_TYPE DeviceType;
    CCHAR StackSize;  // stack locations an IRP for this device needs (IoAllocateIrp)
    KDEVICE_QUEUE DeviceQueue;
    ULONG AlignmentRequirement;
    PVOID IoManagerPrivate;  // the I/O manager's own record; drivers leave it alone
};

struct FILE_OBJECT {
    CSHORT Type;
    CSHORT Size;
    PDEVICE_OBJECT DeviceObject;  // the device that was opened
    PVOID Vpb;
    PVOID FsContext;  // free to the driver
    PVOID FsContext2;
    BOOLEAN DeletePending;
    ULONG Flags;
    // The opened path after the device part, with its leading "\"; empty for the bare device.
    UNICODE_STRING FileName;
    LARGE_INTEGER CurrentByteOffset;
    PVOID IoManagerPrivate;
};

struct IO_STATUS_BLOCK {
    union {
        NTSTATUS Status;
        PVOID Pointer;
    };
    ULONG_PTR Information;
};
using PIO_STATUS_BLOCK = IO_STATUS_BLOCK*;

struct IO_SECURITY_CONTEXT {
    PVOID SecurityQos;
    PVOID AccessState;
    ACCESS_MASK DesiredAccess;
    ULONG FullCreateOptions;
};
using PIO_SECURITY_CONTEXT = IO_SECURITY_CONTEXT*;

struct IO_STACK_LOCATION {
    UCHAR MajorFunction;
    UCHAR MinorFunction;
    UCHAR Flags;
    UCHAR Control;
    union {
        struct {
            PIO_SECURITY_CONTEXT SecurityContext;
            ULONG Options;
            USHORT FileAttributes;
            USHORT ShareAccess;
            ULONG EaLength;
        } Create;
        // Read and Write share their layout: Length is at the same place in both.
        struct {
            ULONG Length;
            ULONG Key;
            LARGE_INTEGER ByteOffset;
        } Read;
        struct {
            ULONG Length;
            ULONG Key;
            LARGE_INTEGER ByteOffset;
        } Write;
        struct {
            ULONG OutputBufferLength;
            ULONG InputBufferLength;
            ULONG IoControlCode;
            PVOID Type3InputBuffer;
        } DeviceIoControl;
        struct {
            PDEVICE_CAPABILITIES Capabilities;
        } DeviceCapabilities;
        struct {
            DEVICE_RELATION_TYPE Type;
        } QueryDeviceRelations;
        struct {
            ULONG SystemContext;
            POWER_STATE_TYPE Type;
            POWER_STATE State;
            POWER_ACTION ShutdownType;
        } Power;
        struct {
            PVOID Argument1;
            PVOID Argument2;
            PVOID Argument3;
            PVOID Argument4;
        } Others;
    } Parameters;
    PDEVICE_OBJECT DeviceObject;
    PFILE_OBJECT FileObject;
    PIO_COMPLETION_ROUTINE CompletionRoutine;
    PVOID Context;
};

// IRP.Cancel reads and writes as a BOOLEAN; the accesses are atomic, because a queuing path reads
// it while IoCancelIrp may set it on another thread.
struct IRP_CANCEL_FLAG {
    UCHAR value;
    operator BOOLEAN() const { return __atomic_load_n(&value, __ATOMIC_SEQ_CST); }
    IRP_CANCEL_FLAG& operator=(BOOLEAN flag) {
        __atomic_store_n(&value, flag, __ATOMIC_SEQ_CST);
        return *this;
    }
};

struct IRP_TAIL_OVERLAY {
    PVOID DriverContext[4];  // free to the driver that currently owns the IRP
    PETHREAD Thread;         // the issuing thread of a user request
    PCHAR AuxiliaryBuffer;
    LIST_ENTRY ListEntry;  // free to the driver that currently owns the IRP
    PIO_STACK_LOCATION CurrentStackLocation;
    PFILE_OBJECT OriginalFileObject;
};

struct IRP {
    CSHORT Type;
    USHORT Size;
    PMDL MdlAddress;  // direct I/O: describes the caller's buffer; null when the length is 0
    ULONG Flags;
    union {
        IRP* MasterIrp;
        LONG IrpCount;
        PVOID SystemBuffer;  // buffered I/O
    } AssociatedIrp;
    LIST_ENTRY ThreadListEntry;
    IO_STATUS_BLOCK IoStatus;
    KPROCESSOR_MODE RequestorMode;
    BOOLEAN PendingReturned;
    CHAR StackCount;
    CHAR CurrentLocation;  // StackCount + 1 before the first IoCallDriver
    IRP_CANCEL_FLAG Cancel;
    KIRQL CancelIrql;
    CCHAR ApcEnvironment;
    UCHAR AllocationFlags;
    PIO_STATUS_BLOCK UserIosb;
    PKEVENT UserEvent;
    PDRIVER_CANCEL CancelRoutine;  // change it only through IoSetCancelRoutine
    PVOID UserBuffer;              // METHOD_NEITHER output, or a buffer of neither-I/O reads
    struct {
        IRP_TAIL_OVERLAY Overlay;
    } Tail;
    PVOID IoManagerPrivate;  // the I/O manager's own record of a user request; drivers leave it
    // The stack locations follow the IRP in the same allocation.
};

// ---- Calls -------------------------------------------------------------------------------------

// Devices and names. Names are case-insensitive. "\DosDevices\X", "\??\X" and "\GLOBAL??\X" name
// the same link; user mode reaches "\??\X" as "\\.\X" (and "\\?\X").
NTSTATUS IoCreateDevice(PDRIVER_OBJECT driver, ULONG extensionSize, PUNICODE_STRING name,
                        DEVICE_TYPE type, ULONG characteristics, BOOLEAN exclusive,
                        PDEVICE_OBJECT* device);
void IoDeleteDevice(PDEVICE_OBJECT device);
NTSTATUS IoCreateSymbolicLink(PUNICODE_STRING linkName, PUNICODE_STRING deviceName);
NTSTATUS IoDeleteSymbolicLink(PUNICODE_STRING linkName);
// Attaches source on top of target's stack; returns the device it was attached to (the old top)
// and sets source->StackSize to that device's StackSize + 1.
PDEVICE_OBJECT IoAttachDeviceToDeviceStack(PDEVICE_OBJECT source, PDEVICE_OBJECT target);
void IoDetachDevice(PDEVICE_OBJECT target);
PDEVICE_OBJECT IoGetAttachedDevice(PDEVICE_OBJECT device);
PDEVICE_OBJECT IoGetAttachedDeviceReference(PDEVICE_OBJECT device);
void ObDereferenceObject(PVOID object);

// IRPs.
PIRP IoAllocateIrp(CCHAR stackSize, BOOLEAN chargeQuota);
void IoFreeIrp(PIRP irp);
void IoReuseIrp(PIRP irp, NTSTATUS status);
void IoInitializeIrp(PIRP irp, USHORT packetSize, CCHAR stackSize);
USHORT IoSizeOfIrp(CCHAR stackSize);

inline PIO_STACK_LOCATION IoGetCurrentIrpStackLocation(PIRP irp) {
    return irp->Tail.Overlay.CurrentStackLocation;
}
inline PIO_STACK_LOCATION IoGetNextIrpStackLocation(PIRP irp) {
    return irp->Tail.Overlay.CurrentStackLocation - 1;
}
inline void IoSkipCurrentIrpStackLocation(PIRP irp) {
    irp->CurrentLocation++;
    irp->Tail.Overlay.CurrentStackLocation++;
}
inline void IoSetNextIrpStackLocation(PIRP irp) {
    irp->CurrentLocation--;
    irp->Tail.Overlay.CurrentStackLocation--;
}
// Copies everything of the current location to the next except the completion routine.
void IoCopyCurrentIrpStackLocationToNext(PIRP irp);
void IoSetCompletionRoutine(PIRP irp, PIO_COMPLETION_ROUTINE routine, PVOID context,
                            BOOLEAN invokeOnSuccess, BOOLEAN invokeOnError, BOOLEAN invokeOnCancel);
inline void IoMarkIrpPending(PIRP irp) {
    IoGetCurrentIrpStackLocation(irp)->Control |= SL_PENDING_RETURNED;
}

// Moves to the next stack location and calls the device's dispatch routine for its major.
NTSTATUS IoCallDriver(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS PoCallDriver(PDEVICE_OBJECT device, PIRP irp);
void PoStartNextPowerIrp(PIRP irp);
// Runs the completion routines from the innermost location outward; one that returns
// STATUS_MORE_PROCESSING_REQUIRED stops the walk and keeps the IRP. At the top, a user request is
// finished: buffered output copied, MDL released, the issuer told. The boost is ignored.
void IoCompleteRequest(PIRP irp, CCHAR priorityBoost);

// Cancel. IoSetCancelRoutine is an interlocked exchange that returns the previous routine.
PDRIVER_CANCEL IoSetCancelRoutine(PIRP irp, PDRIVER_CANCEL routine);
// Takes the cancel spin lock, sets Cancel, takes the routine back; with a routine, calls it with
// the lock held and CancelIrql set (the routine releases the lock) and returns TRUE; otherwise
// releases the lock and returns FALSE.
BOOLEAN IoCancelIrp(PIRP irp);
void IoAcquireCancelSpinLock(PKIRQL irql);
void IoReleaseCancelSpinLock(KIRQL irql);

// MDLs.
enum MM_PAGE_PRIORITY { LowPagePriority = 0, NormalPagePriority = 16, HighPagePriority = 32 };
PVOID MmGetSystemAddressForMdlSafe(PMDL mdl, MM_PAGE_PRIORITY priority);
ULONG MmGetMdlByteCount(PMDL mdl);
PVOID MmGetMdlVirtualAddress(PMDL mdl);
PMDL IoAllocateMdl(PVOID virtualAddress, ULONG length, BOOLEAN secondaryBuffer, BOOLEAN chargeQuota,
                   PIRP irp);
void IoFreeMdl(PMDL mdl);
void MmBuildMdlForNonPagedPool(PMDL mdl);
