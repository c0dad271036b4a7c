// USB descriptors, USB request blocks (URBs) and USBD status codes, with the platform's names and
// field meanings as drivers use them. Our own declarations; descriptors are byte-packed as they
// travel on the bus, URBs are ordinary host records.
#pragma once

#include "kernel/wdm.h"

// ---- Descriptors -------------------------------------------------------------------------------

#define USB_DEVICE_DESCRIPTOR_TYPE 0x01
#define USB_CONFIGURATION_DESCRIPTOR_TYPE 0x02
#define USB_STRING_DESCRIPTOR_TYPE 0x03
#define USB_INTERFACE_DESCRIPTOR_TYPE 0x04
#define USB_ENDPOINT_DESCRIPTOR_TYPE 0x05

#define USB_ENDPOINT_DIRECTION_MASK 0x80
#define USB_ENDPOINT_DIRECTION_IN(address) (((address)&USB_ENDPOINT_DIRECTION_MASK) != 0)
#define USB_ENDPOINT_DIRECTION_OUT(address) (((address)&USB_ENDPOINT_DIRECTION_MASK) == 0)
#define USB_ENDPOINT_TYPE_MASK 0x03
#define USB_ENDPOINT_TYPE_CONTROL 0x00
#define USB_ENDPOINT_TYPE_ISOCHRONOUS 0x01
#define USB_ENDPOINT_TYPE_BULK 0x02
#define USB_ENDPOINT_TYPE_INTERRUPT 0x03

#pragma pack(push, 1)
struct USB_COMMON_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
};
struct USB_DEVICE_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT bcdUSB;
    UCHAR bDeviceClass;
    UCHAR bDeviceSubClass;
    UCHAR bDeviceProtocol;
    UCHAR bMaxPacketSize0;
    USHORT idVendor;
    USHORT idProduct;
    USHORT bcdDevice;
    UCHAR iManufacturer;
    UCHAR iProduct;
    UCHAR iSerialNumber;
    UCHAR bNumConfigurations;
};
struct USB_CONFIGURATION_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT wTotalLength;
    UCHAR bNumInterfaces;
    UCHAR bConfigurationValue;
    UCHAR iConfiguration;
    UCHAR bmAttributes;
    UCHAR MaxPower;
};
struct USB_INTERFACE_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    UCHAR bInterfaceNumber;
    UCHAR bAlternateSetting;
    UCHAR bNumEndpoints;
    UCHAR bInterfaceClass;
    UCHAR bInterfaceSubClass;
    UCHAR bInterfaceProtocol;
    UCHAR iInterface;
};
struct USB_ENDPOINT_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    UCHAR bEndpointAddress;
    UCHAR bmAttributes;
    USHORT wMaxPacketSize;
    UCHAR bInterval;
};
#pragma pack(pop)
static_assert(sizeof(USB_DEVICE_DESCRIPTOR) == 18);
static_assert(sizeof(USB_CONFIGURATION_DESCRIPTOR) == 9);
static_assert(sizeof(USB_INTERFACE_DESCRIPTOR) == 9);
static_assert(sizeof(USB_ENDPOINT_DESCRIPTOR) == 7);

using PUSB_COMMON_DESCRIPTOR = USB_COMMON_DESCRIPTOR*;
using PUSB_DEVICE_DESCRIPTOR = USB_DEVICE_DESCRIPTOR*;
using PUSB_CONFIGURATION_DESCRIPTOR = USB_CONFIGURATION_DESCRIPTOR*;
using PUSB_INTERFACE_DESCRIPTOR = USB_INTERFACE_DESCRIPTOR*;
using PUSB_ENDPOINT_DESCRIPTOR = USB_ENDPOINT_DESCRIPTOR*;

// ---- USBD status (UrbHeader.Status) ------------------------------------------------------------

using USBD_STATUS = LONG;
#define MQ_USBD_STATUS(value) (static_cast<USBD_STATUS>(static_cast<ULONG>(value)))
#define USBD_STATUS_SUCCESS MQ_USBD_STATUS(0x00000000)
#define USBD_STATUS_PENDING MQ_USBD_STATUS(0x40000000)
#define USBD_STATUS_STALL_PID MQ_USBD_STATUS(0xC0000004)
#define USBD_STATUS_DEV_NOT_RESPONDING MQ_USBD_STATUS(0xC0000005)
#define USBD_STATUS_XACT_ERROR MQ_USBD_STATUS(0xC0000011)
#define USBD_STATUS_ENDPOINT_HALTED MQ_USBD_STATUS(0xC0000030)
#define USBD_STATUS_DEVICE_GONE MQ_USBD_STATUS(0xC0007000)
#define USBD_STATUS_CANCELED MQ_USBD_STATUS(0xC0010000)
#define USBD_STATUS_INVALID_URB_FUNCTION MQ_USBD_STATUS(0x80000200)
#define USBD_STATUS_INVALID_PARAMETER MQ_USBD_STATUS(0x80000300)
#define USBD_STATUS_INVALID_PIPE_HANDLE MQ_USBD_STATUS(0x80000600)
#define USBD_STATUS_ERROR_SHORT_TRANSFER MQ_USBD_STATUS(0x80000900)
#define USBD_SUCCESS(status) (static_cast<USBD_STATUS>(status) >= 0)

// ---- Handles, pipes and interfaces -------------------------------------------------------------

using USBD_PIPE_HANDLE = PVOID;
using USBD_CONFIGURATION_HANDLE = PVOID;
using USBD_INTERFACE_HANDLE = PVOID;

enum USBD_PIPE_TYPE {
    UsbdPipeTypeControl = 0,
    UsbdPipeTypeIsochronous = 1,
    UsbdPipeTypeBulk = 2,
    UsbdPipeTypeInterrupt = 3
};

#define USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE 4096

struct USBD_PIPE_INFORMATION {
    USHORT MaximumPacketSize;
    UCHAR EndpointAddress;
    UCHAR Interval;
    USBD_PIPE_TYPE PipeType;
    USBD_PIPE_HANDLE PipeHandle;
    ULONG MaximumTransferSize;
    ULONG PipeFlags;
};
using PUSBD_PIPE_INFORMATION = USBD_PIPE_INFORMATION*;

// A variable-length block: Pipes has NumberOfPipes entries, Length covers them all.
struct USBD_INTERFACE_INFORMATION {
    USHORT Length;
    UCHAR InterfaceNumber;
    UCHAR AlternateSetting;
    UCHAR Class;
    UCHAR SubClass;
    UCHAR Protocol;
    UCHAR Reserved;
    USBD_INTERFACE_HANDLE InterfaceHandle;
    ULONG NumberOfPipes;
    USBD_PIPE_INFORMATION Pipes[1];
};
using PUSBD_INTERFACE_INFORMATION = USBD_INTERFACE_INFORMATION*;

struct USBD_INTERFACE_LIST_ENTRY {
    PUSB_INTERFACE_DESCRIPTOR InterfaceDescriptor;
    PUSBD_INTERFACE_INFORMATION Interface;
};
using PUSBD_INTERFACE_LIST_ENTRY = USBD_INTERFACE_LIST_ENTRY*;

// ---- URBs --------------------------------------------------------------------------------------

#define URB_FUNCTION_SELECT_CONFIGURATION 0x0000
#define URB_FUNCTION_SELECT_INTERFACE 0x0001
#define URB_FUNCTION_ABORT_PIPE 0x0002
#define URB_FUNCTION_CONTROL_TRANSFER 0x0008
#define URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER 0x0009
#define URB_FUNCTION_ISOCH_TRANSFER 0x000A
#define URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE 0x000B
#define URB_FUNCTION_VENDOR_DEVICE 0x0017
#define URB_FUNCTION_RESET_PIPE 0x001E
#define URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL 0x001E

// TransferFlags.
#define USBD_TRANSFER_DIRECTION_OUT 0
#define USBD_TRANSFER_DIRECTION_IN 1
#define USBD_SHORT_TRANSFER_OK 2

struct _URB_HEADER {
    USHORT Length;
    USHORT Function;
    USBD_STATUS Status;
    PVOID UsbdDeviceHandle;
    ULONG UsbdFlags;
};

// Fields every transfer URB shares, for the bus's own use.
struct _URB_HCD_AREA {
    PVOID Reserved8[8];
};

struct _URB_SELECT_CONFIGURATION {
    _URB_HEADER Hdr;
    PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor;  // null: deselect
    USBD_CONFIGURATION_HANDLE ConfigurationHandle;
    USBD_INTERFACE_INFORMATION Interface;  // the first of the interface blocks
};

struct _URB_PIPE_REQUEST {
    _URB_HEADER Hdr;
    USBD_PIPE_HANDLE PipeHandle;
    ULONG Reserved;
};

struct _URB_BULK_OR_INTERRUPT_TRANSFER {
    _URB_HEADER Hdr;
    USBD_PIPE_HANDLE PipeHandle;
    ULONG TransferFlags;
    ULONG TransferBufferLength;  // rewritten with the bytes moved
    PVOID TransferBuffer;
    PMDL TransferBufferMDL;  // used when TransferBuffer is null
    union _URB* UrbLink;
    _URB_HCD_AREA hca;
};

struct _URB_CONTROL_DESCRIPTOR_REQUEST {
    _URB_HEADER Hdr;
    PVOID Reserved;
    ULONG Reserved0;
    ULONG TransferBufferLength;
    PVOID TransferBuffer;
    PMDL TransferBufferMDL;
    union _URB* UrbLink;
    _URB_HCD_AREA hca;
    USHORT Reserved1;
    UCHAR Index;
    UCHAR DescriptorType;
    USHORT LanguageId;
    USHORT Reserved2;
};

union _URB {
    _URB_HEADER UrbHeader;
    _URB_SELECT_CONFIGURATION UrbSelectConfiguration;
    _URB_PIPE_REQUEST UrbPipeRequest;
    _URB_BULK_OR_INTERRUPT_TRANSFER UrbBulkOrInterruptTransfer;
    _URB_CONTROL_DESCRIPTOR_REQUEST UrbControlDescriptorRequest;
};
using URB = _URB;
using PURB = _URB*;

// ---- Sizes and builders ------------------------------------------------------------------------

#define GET_USBD_INTERFACE_SIZE(numEndpoints)                 \
    (static_cast<USHORT>(sizeof(USBD_INTERFACE_INFORMATION) + \
                         sizeof(USBD_PIPE_INFORMATION) * ((numEndpoints)-1)))
#define GET_SELECT_CONFIGURATION_REQUEST_SIZE(totalInterfaces, totalPipes)            \
    (static_cast<USHORT>(sizeof(_URB_SELECT_CONFIGURATION) +                          \
                         sizeof(USBD_INTERFACE_INFORMATION) * ((totalInterfaces)-1) + \
                         sizeof(USBD_PIPE_INFORMATION) * ((totalPipes) - (totalInterfaces))))

#define UsbBuildInterruptOrBulkTransferRequest(urb, length, pipeHandle, transferBuffer,      \
                                               transferBufferMDL, transferBufferLength,      \
                                               transferFlags, link)                          \
    do {                                                                                     \
        (urb)->UrbHeader.Function = URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER;                 \
        (urb)->UrbHeader.Length = static_cast<USHORT>(length);                               \
        (urb)->UrbBulkOrInterruptTransfer.PipeHandle = (pipeHandle);                         \
        (urb)->UrbBulkOrInterruptTransfer.TransferBufferLength =                             \
            static_cast<ULONG>(transferBufferLength);                                        \
        (urb)->UrbBulkOrInterruptTransfer.TransferBufferMDL = (transferBufferMDL);           \
        (urb)->UrbBulkOrInterruptTransfer.TransferBuffer = (transferBuffer);                 \
        (urb)->UrbBulkOrInterruptTransfer.TransferFlags = static_cast<ULONG>(transferFlags); \
        (urb)->UrbBulkOrInterruptTransfer.UrbLink = (link);                                  \
    } while (0)

#define UsbBuildGetDescriptorRequest(urb, length, descriptorType, descriptorIndex, languageId,  \
                                     transferBuffer, transferBufferMDL, transferBufferLength,   \
                                     link)                                                      \
    do {                                                                                        \
        (urb)->UrbHeader.Function = URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE;                    \
        (urb)->UrbHeader.Length = static_cast<USHORT>(length);                                  \
        (urb)->UrbControlDescriptorRequest.TransferBufferLength =                               \
            static_cast<ULONG>(transferBufferLength);                                           \
        (urb)->UrbControlDescriptorRequest.TransferBufferMDL = (transferBufferMDL);             \
        (urb)->UrbControlDescriptorRequest.TransferBuffer = (transferBuffer);                   \
        (urb)->UrbControlDescriptorRequest.DescriptorType = static_cast<UCHAR>(descriptorType); \
        (urb)->UrbControlDescriptorRequest.Index = static_cast<UCHAR>(descriptorIndex);         \
        (urb)->UrbControlDescriptorRequest.LanguageId = static_cast<USHORT>(languageId);        \
        (urb)->UrbControlDescriptorRequest.UrbLink = (link);                                    \
    } while (0)

#define UsbBuildSelectConfigurationRequest(urb, length, configurationDescriptor)           \
    do {                                                                                   \
        (urb)->UrbHeader.Function = URB_FUNCTION_SELECT_CONFIGURATION;                     \
        (urb)->UrbHeader.Length = static_cast<USHORT>(length);                             \
        (urb)->UrbSelectConfiguration.ConfigurationDescriptor = (configurationDescriptor); \
    } while (0)
