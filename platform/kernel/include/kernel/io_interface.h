// Device interfaces and device properties of physical devices.
//
// IoRegisterDeviceInterface gives a physical device's interface of a class GUID a symbolic link
// name, "\??\<instance>#{GUID}" (the device's instance path with "\" written as "#"); the name is
// the same at every later call for that instance and class, also after the device went away and
// came back. While the interface is enabled (IoSetDeviceInterfaceState) and its device present,
// the link opens the device's stack and user-mode enumeration lists it. Disabling an interface
// that is not enabled fails with STATUS_OBJECT_NAME_NOT_FOUND and changes nothing.
// IoOpenDeviceInterfaceRegistryKey opens the interface's own key in the machine's registry,
// created at registration and kept across disable, enable and new boots.
#pragma once

#include <string>

#include "kernel/io.h"
#include "kernel/zw.h"

// GUID comes with the base declarations.

NTSTATUS IoRegisterDeviceInterface(PDEVICE_OBJECT PhysicalDeviceObject,
                                   const GUID* InterfaceClassGuid, PUNICODE_STRING ReferenceString,
                                   PUNICODE_STRING SymbolicLinkName);
NTSTATUS IoSetDeviceInterfaceState(PUNICODE_STRING SymbolicLinkName, BOOLEAN Enable);
NTSTATUS IoOpenDeviceInterfaceRegistryKey(PUNICODE_STRING SymbolicLinkName,
                                          ACCESS_MASK DesiredAccess, PHANDLE DeviceInterfaceKey);
// Frees the Buffer of a string the I/O manager allocated (the link name of
// IoRegisterDeviceInterface) and clears the string.
void RtlFreeUnicodeString(PUNICODE_STRING UnicodeString);

enum DEVICE_REGISTRY_PROPERTY {
    DevicePropertyDeviceDescription = 0,
    DevicePropertyHardwareID = 1,
    DevicePropertyCompatibleIDs = 2,
    DevicePropertyBootConfiguration = 3,
    DevicePropertyBootConfigurationTranslated = 4,
    DevicePropertyClassName = 5,
    DevicePropertyClassGuid = 6,
    DevicePropertyDriverKeyName = 7,
    DevicePropertyManufacturer = 8,
    DevicePropertyFriendlyName = 9,
    DevicePropertyLocationInformation = 10,
    DevicePropertyPhysicalDeviceObjectName = 11,
};

// A property of a physical device as a terminated WCHAR string. A buffer too small gives
// STATUS_BUFFER_TOO_SMALL with *ResultLength the bytes needed; a property the device does not
// have gives STATUS_INVALID_PARAMETER_2; a device that is not a physical device (it has no
// instance path) gives STATUS_INVALID_DEVICE_REQUEST.
NTSTATUS IoGetDeviceProperty(PDEVICE_OBJECT DeviceObject, DEVICE_REGISTRY_PROPERTY DeviceProperty,
                             ULONG BufferLength, PVOID PropertyBuffer, PULONG ResultLength);

#ifndef STATUS_INVALID_PARAMETER_2
#define STATUS_INVALID_PARAMETER_2 MQ_NTSTATUS(0xC00000F0)
#endif

namespace kernel {

// The bus side of a physical device (the machine's bus driver and tests): its instance path
// ("SIM\MQ5120\00000001", unique on the machine) makes it a physical device that interfaces can be
// registered against, and its properties are the strings IoGetDeviceProperty answers. A device's
// entries go when it is deleted.
NTSTATUS SetDeviceInstancePath(PDEVICE_OBJECT physicalDevice, std::u16string instancePath);
void SetDeviceProperty(PDEVICE_OBJECT physicalDevice, DEVICE_REGISTRY_PROPERTY property,
                       std::u16string value);

}  // namespace kernel
