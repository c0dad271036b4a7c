// The bus's URB handling with a scripted device: configuration, descriptors, bulk and interrupt
// transfers, completion context, cancel, abort and reset.
#include <gtest/gtest.h>

#include "usb_test_support.h"

namespace usb::test {
namespace {

using Transfers = BusFixture;

TEST_F(Transfers, SelectionReportsThePipesOfTheDevicesDescriptor) {
    Bytes config = device->ConfigurationDescriptor(0);
    auto* descriptor = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(config.data());
    USBD_INTERFACE_LIST_ENTRY list[2] = {};
    list[0].InterfaceDescriptor =
        USBD_ParseConfigurationDescriptorEx(descriptor, descriptor, 0, 0, -1, -1, -1);
    PURB select = USBD_CreateConfigurationRequestEx(descriptor, list);
    list[0].Interface->Pipes[1].MaximumTransferSize = 777;  // kept as the driver asked
    {
        UrbRequest request(select);
        EXPECT_EQ(request.Send(pdo), STATUS_SUCCESS);
        ASSERT_TRUE(request.Wait());
    }
    EXPECT_EQ(select->UrbHeader.Status, USBD_STATUS_SUCCESS);
    EXPECT_NE(select->UrbSelectConfiguration.ConfigurationHandle, nullptr);
    const USBD_INTERFACE_INFORMATION& info = *list[0].Interface;
    EXPECT_EQ(info.Class, 0xFF);
    EXPECT_EQ(info.SubClass, 0x01);
    EXPECT_EQ(info.Protocol, 0x02);
    EXPECT_NE(info.InterfaceHandle, nullptr);
    ASSERT_EQ(info.NumberOfPipes, 3u);
    struct Expected {
        UCHAR address;
        USBD_PIPE_TYPE type;
        USHORT maxPacket;
        ULONG maxTransfer;
    } expected[] = {{0x81, UsbdPipeTypeBulk, 64, USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE},
                    {0x02, UsbdPipeTypeBulk, 64, 777},
                    {0x83, UsbdPipeTypeInterrupt, 8, USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE}};
    std::set<PVOID> handles;
    for (ULONG i = 0; i < 3; ++i) {
        EXPECT_EQ(info.Pipes[i].EndpointAddress, expected[i].address);
        EXPECT_EQ(info.Pipes[i].PipeType, expected[i].type);
        EXPECT_EQ(info.Pipes[i].MaximumPacketSize, expected[i].maxPacket);
        EXPECT_EQ(info.Pipes[i].MaximumTransferSize, expected[i].maxTransfer);
        handles.insert(info.Pipes[i].PipeHandle);
        EXPECT_EQ(handles.count(pipes[expected[i].address]), 0u) << "handles are new each time";
    }
    EXPECT_EQ(handles.size(), 3u);
    EXPECT_EQ(bus.SelectedConfiguration(pdo), 1);
    EXPECT_EQ(device->Selected(), (std::vector<std::uint8_t>{1, 1}));
    ExFreePool(select);
}

TEST_F(Transfers, SelectionRefusesUnknownValuesAndBlocksTooSmallForThePipes) {
    Bytes config = device->ConfigurationDescriptor(0);
    auto* descriptor = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(config.data());
    USBD_INTERFACE_LIST_ENTRY list[2] = {};
    list[0].InterfaceDescriptor =
        USBD_ParseConfigurationDescriptorEx(descriptor, descriptor, 0, 0, -1, -1, -1);
    struct Case {
        const char* name;
        void (*spoil)(PURB urb, PUSB_CONFIGURATION_DESCRIPTOR copy);
    } cases[] = {
        {"unknown value",
         [](PURB, PUSB_CONFIGURATION_DESCRIPTOR copy) { copy->bConfigurationValue = 9; }},
        {"block for two of three pipes",
         [](PURB urb, PUSB_CONFIGURATION_DESCRIPTOR) {
             urb->UrbSelectConfiguration.Interface.Length = GET_USBD_INTERFACE_SIZE(2);
         }},
        {"block runs past the URB",
         [](PURB urb, PUSB_CONFIGURATION_DESCRIPTOR) {
             urb->UrbHeader.Length = static_cast<USHORT>(urb->UrbHeader.Length - 8);
         }},
        {"no such alternate setting",
         [](PURB urb, PUSB_CONFIGURATION_DESCRIPTOR) {
             urb->UrbSelectConfiguration.Interface.AlternateSetting = 3;
         }},
    };
    for (const auto& c : cases) {
        Bytes copy = config;
        auto* copyDescriptor = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(copy.data());
        PURB select = USBD_CreateConfigurationRequestEx(descriptor, list);
        select->UrbSelectConfiguration.ConfigurationDescriptor = copyDescriptor;
        c.spoil(select, copyDescriptor);
        {
            UrbRequest request(select);
            EXPECT_EQ(request.Send(pdo), STATUS_INVALID_PARAMETER) << c.name;
            ASSERT_TRUE(request.Wait());
        }
        EXPECT_EQ(select->UrbHeader.Status, USBD_STATUS_INVALID_PARAMETER) << c.name;
        ExFreePool(select);
    }
    // The configuration selected before is untouched.
    std::uint8_t byte = 0;
    UrbRequest out;
    Build(out, ScriptedDevice::kBulkOut, &byte, 1, USBD_TRANSFER_DIRECTION_OUT);
    out.Send(pdo);
    ASSERT_TRUE(out.Wait());
    EXPECT_EQ(out.Status(), STATUS_SUCCESS);
}

TEST_F(Transfers, DeselectCancelsPendingAndInvalidatesHandles) {
    std::uint8_t buffer[64];
    UrbRequest pending;
    Build(pending, ScriptedDevice::kBulkIn, buffer, sizeof buffer, USBD_TRANSFER_DIRECTION_IN);
    EXPECT_EQ(pending.Send(pdo), STATUS_PENDING);

    UrbRequest deselect;
    UsbBuildSelectConfigurationRequest(deselect.urb(), sizeof(_URB_SELECT_CONFIGURATION), nullptr);
    EXPECT_EQ(deselect.Send(pdo), STATUS_SUCCESS);
    ASSERT_TRUE(pending.Wait());
    EXPECT_EQ(pending.Status(), STATUS_CANCELLED);
    EXPECT_EQ(pending.urb()->UrbHeader.Status, USBD_STATUS_CANCELED);
    EXPECT_EQ(bus.SelectedConfiguration(pdo), 0);
    EXPECT_EQ(device->Selected().back(), 0);

    UrbRequest later;
    Build(later, ScriptedDevice::kBulkIn, buffer, sizeof buffer, USBD_TRANSFER_DIRECTION_IN);
    EXPECT_EQ(later.Send(pdo), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(later.urb()->UrbHeader.Status, USBD_STATUS_INVALID_PIPE_HANDLE);
}

TEST_F(Transfers, DescriptorReadsCopyAtMostTheDescriptor) {
    struct Case {
        UCHAR type;
        UCHAR index;
        ULONG asked;
        NTSTATUS status;
        ULONG returned;
    } cases[] = {
        {USB_DEVICE_DESCRIPTOR_TYPE, 0, 18, STATUS_SUCCESS, 18},
        {USB_DEVICE_DESCRIPTOR_TYPE, 0, 8, STATUS_SUCCESS, 8},
        {USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 1024, STATUS_SUCCESS, 9 + 9 + 3 * 7},
        {USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 9, STATUS_SUCCESS, 9},
        {USB_CONFIGURATION_DESCRIPTOR_TYPE, 1, 1024, STATUS_UNSUCCESSFUL, 0},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> buffer(c.asked, 0xEE);
        UrbRequest request;
        UsbBuildGetDescriptorRequest(request.urb(), sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), c.type,
                                     c.index, 0, buffer.data(), nullptr, c.asked, nullptr);
        EXPECT_EQ(request.Send(pdo), c.status);
        ASSERT_TRUE(request.Wait());
        EXPECT_EQ(request.urb()->UrbControlDescriptorRequest.TransferBufferLength, c.returned);
        Bytes expected = c.type == USB_DEVICE_DESCRIPTOR_TYPE ? device->DeviceDescriptor()
                                                              : device->ConfigurationDescriptor(0);
        for (ULONG i = 0; i < c.returned; ++i)
            ASSERT_EQ(buffer[i], expected[i]) << int(c.type) << " byte " << i;
        for (ULONG i = c.returned; i < c.asked; ++i)
            ASSERT_EQ(buffer[i], 0xEE) << "written past the descriptor";
    }
}

Bytes Pattern(std::size_t n, std::uint8_t seed) {
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::uint8_t>(seed + i);
    return out;
}

// IN transfers complete on a full buffer or at a short packet; the length is rewritten.
TEST_F(Transfers, InCompletesOnFullBufferOrShortPacket) {
    struct Case {
        const char* name;
        std::vector<std::size_t> packets;  // offered packet sizes (max packet 64)
        ULONG length;
        ULONG flags;
        NTSTATUS status;
        USBD_STATUS usbd;
        ULONG bytes;
    } cases[] = {
        {"two full packets fill 128",
         {64, 64},
         128,
         USBD_TRANSFER_DIRECTION_IN,
         STATUS_SUCCESS,
         USBD_STATUS_SUCCESS,
         128},
        {"short packet ends early",
         {64, 10},
         256,
         USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK,
         STATUS_SUCCESS,
         USBD_STATUS_SUCCESS,
         74},
        {"zero-length packet",
         {0},
         64,
         USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK,
         STATUS_SUCCESS,
         USBD_STATUS_SUCCESS,
         0},
        {"short without short-ok fails",
         {64, 10},
         256,
         USBD_TRANSFER_DIRECTION_IN,
         STATUS_UNSUCCESSFUL,
         USBD_STATUS_ERROR_SHORT_TRANSFER,
         74},
        {"buffer smaller than a packet",
         {64},
         16,
         USBD_TRANSFER_DIRECTION_IN,
         STATUS_SUCCESS,
         USBD_STATUS_SUCCESS,
         16},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> buffer(c.length + 8, 0xEE);
        UrbRequest request;
        Build(request, ScriptedDevice::kBulkIn, buffer.data(), c.length, c.flags);
        EXPECT_EQ(request.Send(pdo), STATUS_PENDING) << c.name;
        Bytes all;
        for (std::size_t i = 0; i < c.packets.size(); ++i) {
            EXPECT_FALSE(request.Done()) << c.name << ": completed before packet " << i;
            Bytes packet = Pattern(c.packets[i], static_cast<std::uint8_t>(i * 64));
            all.insert(all.end(), packet.begin(), packet.end());
            device->Offer(ScriptedDevice::kBulkIn, packet);
        }
        ASSERT_TRUE(request.Wait()) << c.name;
        EXPECT_EQ(request.Status(), c.status) << c.name;
        EXPECT_EQ(request.urb()->UrbHeader.Status, c.usbd) << c.name;
        EXPECT_EQ(request.urb()->UrbBulkOrInterruptTransfer.TransferBufferLength, c.bytes)
            << c.name;
        EXPECT_TRUE(std::equal(all.begin(), all.begin() + c.bytes, buffer.begin())) << c.name;
        EXPECT_EQ(buffer[c.length], 0xEE) << c.name << ": written past the buffer";
        // Whatever the case left in the device goes to a drain transfer.
        std::vector<std::uint8_t> drain(4096);
        while (true) {
            UrbRequest rest;
            Build(rest, ScriptedDevice::kBulkIn, drain.data(), 4096,
                  USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK);
            rest.Send(pdo);
            if (rest.Wait(50))
                continue;
            rest.Cancel();
            break;
        }
    }
}

TEST_F(Transfers, CompletionsRunAtDispatchLevelOnTheBusThread) {
    std::uint8_t buffer[8];
    UrbRequest request;
    Build(request, ScriptedDevice::kInterruptIn, buffer, 4, USBD_TRANSFER_DIRECTION_IN);
    EXPECT_EQ(request.Send(pdo), STATUS_PENDING);
    device->Offer(ScriptedDevice::kInterruptIn, {1, 2, 3, 4});
    ASSERT_TRUE(request.Wait());
    EXPECT_EQ(request.Status(), STATUS_SUCCESS);
    EXPECT_EQ(request.CompletionIrql(), DISPATCH_LEVEL);
    EXPECT_NE(request.CompletionThread(), std::this_thread::get_id());
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);

    // A request answered inside IoCallDriver is completed at DISPATCH_LEVEL too.
    std::uint8_t descriptor[18];
    UrbRequest immediate;
    UsbBuildGetDescriptorRequest(immediate.urb(), sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST),
                                 USB_DEVICE_DESCRIPTOR_TYPE, 0, 0, descriptor, nullptr, 18,
                                 nullptr);
    immediate.Send(pdo);
    EXPECT_EQ(immediate.CompletionIrql(), DISPATCH_LEVEL);
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
}

TEST_F(Transfers, OutCompletesWhenTakenInOrderPerPipe) {
    Bytes first = Pattern(100, 1), second = Pattern(3, 9);
    device->HoldOut(true);
    UrbRequest a, b;
    Build(a, ScriptedDevice::kBulkOut, first.data(), 100, USBD_TRANSFER_DIRECTION_OUT);
    Build(b, ScriptedDevice::kBulkOut, second.data(), 3, USBD_TRANSFER_DIRECTION_OUT);
    EXPECT_EQ(a.Send(pdo), STATUS_PENDING);
    EXPECT_EQ(b.Send(pdo), STATUS_PENDING);
    EXPECT_FALSE(a.Wait(50)) << "held by the device";
    EXPECT_EQ(bus.PendingTransfers(pdo), 2u);
    device->HoldOut(false);
    ASSERT_TRUE(a.Wait());
    ASSERT_TRUE(b.Wait());
    EXPECT_EQ(a.Status(), STATUS_SUCCESS);
    EXPECT_EQ(a.urb()->UrbBulkOrInterruptTransfer.TransferBufferLength, 100u);
    EXPECT_EQ(b.urb()->UrbBulkOrInterruptTransfer.TransferBufferLength, 3u);
    EXPECT_EQ(device->Received(ScriptedDevice::kBulkOut), (std::vector<Bytes>{first, second}));
}

// Cancel completes with STATUS_CANCELLED, USBD_STATUS_CANCELED and the bytes moved so far.
TEST_F(Transfers, CancelReportsBytesMovedSoFar) {
    std::uint8_t buffer[256];
    UrbRequest in;
    Build(in, ScriptedDevice::kBulkIn, buffer, sizeof buffer, USBD_TRANSFER_DIRECTION_IN);
    EXPECT_EQ(in.Send(pdo), STATUS_PENDING);
    device->Offer(ScriptedDevice::kBulkIn, Pattern(64, 0));
    device->Offer(ScriptedDevice::kBulkIn, Pattern(64, 64));
    {
        // The bus thread serves every pipe in one pass before it completes anything, so once an
        // OUT sent after the offers has completed, the IN transfer holds both packets.
        UrbRequest probe;
        Build(probe, ScriptedDevice::kBulkOut, buffer, 1, USBD_TRANSFER_DIRECTION_OUT);
        probe.Send(pdo);
        ASSERT_TRUE(probe.Wait());
    }
    EXPECT_TRUE(in.Cancel());
    ASSERT_TRUE(in.Wait());
    EXPECT_EQ(in.Status(), STATUS_CANCELLED);
    EXPECT_EQ(in.urb()->UrbHeader.Status, USBD_STATUS_CANCELED);
    EXPECT_EQ(in.urb()->UrbBulkOrInterruptTransfer.TransferBufferLength, 128u);
    EXPECT_EQ(in.Completions(), 1);

    device->HoldOut(true);
    UrbRequest out;
    Build(out, ScriptedDevice::kBulkOut, buffer, 10, USBD_TRANSFER_DIRECTION_OUT);
    EXPECT_EQ(out.Send(pdo), STATUS_PENDING);
    EXPECT_TRUE(out.Cancel());
    ASSERT_TRUE(out.Wait());
    EXPECT_EQ(out.Status(), STATUS_CANCELLED);
    EXPECT_EQ(out.urb()->UrbBulkOrInterruptTransfer.TransferBufferLength, 0u);
    EXPECT_FALSE(out.Cancel()) << "a completed request has no cancel routine";

    // A request whose Cancel flag is already set when it arrives is completed as cancelled.
    UrbRequest early;
    Build(early, ScriptedDevice::kBulkIn, buffer, 64, USBD_TRANSFER_DIRECTION_IN);
    EXPECT_EQ(early.Send(pdo, /*cancelFirst=*/true), STATUS_PENDING);
    ASSERT_TRUE(early.Wait());
    EXPECT_EQ(early.Status(), STATUS_CANCELLED);
    EXPECT_EQ(bus.PendingTransfers(pdo), 0u);
}

TEST_F(Transfers, AbortCancelsOnlyItsPipeAndResetKeepsPending) {
    std::uint8_t a[64], b[8];
    UrbRequest bulk1, bulk2, interrupt;
    Build(bulk1, ScriptedDevice::kBulkIn, a, 64, USBD_TRANSFER_DIRECTION_IN);
    Build(bulk2, ScriptedDevice::kBulkIn, a, 64, USBD_TRANSFER_DIRECTION_IN);
    Build(interrupt, ScriptedDevice::kInterruptIn, b, 4, USBD_TRANSFER_DIRECTION_IN);
    bulk1.Send(pdo);
    bulk2.Send(pdo);
    interrupt.Send(pdo);

    UrbRequest reset;
    reset.urb()->UrbHeader.Function = URB_FUNCTION_RESET_PIPE;
    reset.urb()->UrbPipeRequest.PipeHandle = pipes[ScriptedDevice::kBulkIn];
    EXPECT_EQ(reset.Send(pdo), STATUS_SUCCESS);
    EXPECT_EQ(bus.PendingTransfers(pdo), 3u) << "reset does not touch pending transfers";
    EXPECT_EQ(device->Resets(), (std::vector<std::uint8_t>{ScriptedDevice::kBulkIn}));

    UrbRequest abort;
    abort.urb()->UrbHeader.Function = URB_FUNCTION_ABORT_PIPE;
    abort.urb()->UrbPipeRequest.PipeHandle = pipes[ScriptedDevice::kBulkIn];
    EXPECT_EQ(abort.Send(pdo), STATUS_SUCCESS);
    // Both transfers of the pipe were completed before the abort returned.
    EXPECT_TRUE(bulk1.Done());
    EXPECT_TRUE(bulk2.Done());
    EXPECT_EQ(bulk1.Status(), STATUS_CANCELLED);
    EXPECT_EQ(bulk2.urb()->UrbHeader.Status, USBD_STATUS_CANCELED);
    EXPECT_FALSE(interrupt.Done());
    device->Offer(ScriptedDevice::kInterruptIn, {1, 2, 3, 4});
    ASSERT_TRUE(interrupt.Wait());
    EXPECT_EQ(interrupt.Status(), STATUS_SUCCESS);

    UrbRequest stale;
    stale.urb()->UrbHeader.Function = URB_FUNCTION_ABORT_PIPE;
    stale.urb()->UrbPipeRequest.PipeHandle = reinterpret_cast<PVOID>(0x12345);
    EXPECT_EQ(stale.Send(pdo), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(stale.urb()->UrbHeader.Status, USBD_STATUS_INVALID_PIPE_HANDLE);
}

TEST_F(Transfers, UnknownFunctionsAndCodesAreRefused) {
    UrbRequest request;
    request.urb()->UrbHeader.Function = URB_FUNCTION_CONTROL_TRANSFER;
    EXPECT_EQ(request.Send(pdo), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(request.urb()->UrbHeader.Status, USBD_STATUS_INVALID_URB_FUNCTION);
}

// Many threads submit and cancel at once: every request completes exactly once.
TEST_F(Transfers, ConcurrentSubmitCancelAndDataCompleteEachRequestOnce) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 100;
    std::atomic<int> total{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                std::uint8_t buffer[64];
                UrbRequest request;
                Build(request, ScriptedDevice::kBulkIn, buffer, 64,
                      USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK);
                request.Send(pdo);
                if ((i + t) % 2 == 0)
                    device->Offer(ScriptedDevice::kBulkIn, Pattern(8, 0));
                request.Cancel();
                EXPECT_TRUE(request.Wait());
                EXPECT_EQ(request.Completions(), 1);
                const NTSTATUS status = request.Status();
                EXPECT_TRUE(status == STATUS_SUCCESS || status == STATUS_CANCELLED) << status;
                total += request.Completions();
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(total, kThreads * kPerThread);
    EXPECT_EQ(bus.PendingTransfers(pdo), 0u);
}

}  // namespace
}  // namespace usb::test
