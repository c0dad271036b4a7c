// The USBD helper library: descriptor parsing and the configuration request.
//
// Parsing never reads outside the descriptor set: a walk stops at the end given (wTotalLength,
// or the smaller buffer length of the bounded form) and at a descriptor whose bLength is 0 or
// runs past that end. Device-supplied lengths are never trusted beyond the bytes the caller has.
#pragma once

#include "usb/usb.h"

// The first descriptor of the given type at or after start, or null. A type of -1 matches any.
PUSB_COMMON_DESCRIPTOR USBD_ParseDescriptors(PVOID descriptorBuffer, ULONG totalLength,
                                             PVOID startPosition, LONG descriptorType);

// The first interface descriptor at or after start that matches; -1 for any value of a field.
// Walks at most wTotalLength bytes of the configuration.
PUSB_INTERFACE_DESCRIPTOR USBD_ParseConfigurationDescriptorEx(
    PUSB_CONFIGURATION_DESCRIPTOR configuration, PVOID startPosition, LONG interfaceNumber,
    LONG alternateSetting, LONG interfaceClass, LONG interfaceSubClass, LONG interfaceProtocol);

// The same, walking at most min(wTotalLength, bufferLength) bytes: what a driver uses when it
// knows how many bytes of the descriptor it actually read.
PUSB_INTERFACE_DESCRIPTOR USBD_ParseConfigurationDescriptorInBuffer(
    PUSB_CONFIGURATION_DESCRIPTOR configuration, ULONG bufferLength, PVOID startPosition,
    LONG interfaceNumber, LONG alternateSetting, LONG interfaceClass, LONG interfaceSubClass,
    LONG interfaceProtocol);

// A pool-allocated SELECT_CONFIGURATION URB with one interface block per list entry (the list
// ends with a null InterfaceDescriptor), in order. Each block is sized for its interface's
// bNumEndpoints pipes, with MaximumTransferSize = USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE, and
// list[i].Interface points to it. Null when out of memory. Free with ExFreePool.
PURB USBD_CreateConfigurationRequestEx(PUSB_CONFIGURATION_DESCRIPTOR configuration,
                                       PUSBD_INTERFACE_LIST_ENTRY interfaceList);

// The pool tag of the library's allocations.
constexpr ULONG USBD_POOL_TAG = MQ_POOL_TAG('U', 's', 'b', 'd');
