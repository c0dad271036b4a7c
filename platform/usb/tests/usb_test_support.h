// Test support: a scripted device model and a URB request sent to a PDO as a driver sends it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "simclock/clock.h"
#include "usb/bus.h"
#include "usb/testing.h"
#include "usb/usb.h"
#include "usb/usbdlib.h"

namespace usb::test {

using Bytes = std::vector<std::uint8_t>;

// Appends a descriptor's bytes.
template <typename T>
void Append(Bytes& out, const T& descriptor) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&descriptor);
    out.insert(out.end(), bytes, bytes + sizeof(T));
}

struct EndpointEntry {
    std::uint8_t address;
    std::uint8_t type;  // USB_ENDPOINT_TYPE_*
    std::uint16_t maxPacket;
};

// A configuration descriptor set: one interface (number 0, alternate 0) with the endpoints.
inline Bytes MakeConfiguration(std::uint8_t value, const std::vector<EndpointEntry>& endpoints) {
    Bytes out;
    USB_CONFIGURATION_DESCRIPTOR config{9, USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 1, value, 0, 0x80,
                                        50};
    Append(out, config);
    USB_INTERFACE_DESCRIPTOR interface {
        9, USB_INTERFACE_DESCRIPTOR_TYPE, 0, 0, static_cast<UCHAR>(endpoints.size()), 0xFF, 0x01,
            0x02, 0
    };
    Append(out, interface);
    for (const auto& entry : endpoints) {
        USB_ENDPOINT_DESCRIPTOR endpoint{
            7, USB_ENDPOINT_DESCRIPTOR_TYPE, entry.address, entry.type, entry.maxPacket, 1};
        Append(out, endpoint);
    }
    reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(out.data())->wTotalLength =
        static_cast<USHORT>(out.size());
    return out;
}

// A device whose IN packets and OUT acceptance the test scripts.
class ScriptedDevice : public DeviceModel {
  public:
    static constexpr std::uint8_t kBulkIn = 0x81;
    static constexpr std::uint8_t kBulkOut = 0x02;
    static constexpr std::uint8_t kInterruptIn = 0x83;

    ScriptedDevice() {
        config_ = MakeConfiguration(1, {{kBulkIn, USB_ENDPOINT_TYPE_BULK, 64},
                                        {kBulkOut, USB_ENDPOINT_TYPE_BULK, 64},
                                        {kInterruptIn, USB_ENDPOINT_TYPE_INTERRUPT, 8}});
        USB_DEVICE_DESCRIPTOR device{
            18, USB_DEVICE_DESCRIPTOR_TYPE, 0x0200, 0xFF, 0, 0, 64, 0x1234, 0x5678, 0x0100, 0, 0, 0,
            1};
        Append(device_, device);
    }

    Bytes DeviceDescriptor() override { return device_; }
    Bytes ConfigurationDescriptor(std::uint8_t index) override {
        return index == 0 ? config_ : Bytes{};
    }
    void Connected(DevicePort* port) override {
        std::lock_guard lock(mutex_);
        port_ = port;
    }
    void ConfigurationSelected(std::uint8_t value) override {
        std::lock_guard lock(mutex_);
        selected_.push_back(value);
    }
    void PipeReset(std::uint8_t endpoint) override {
        std::lock_guard lock(mutex_);
        resets_.push_back(endpoint);
    }

    // Queues one IN packet that appears once the stand-ins' clock reads `at`, as data that comes
    // with time: the device names that time to the bus and does not wake it.
    void OfferAt(std::uint8_t endpoint, Bytes packet, simclock::Duration at) {
        std::lock_guard lock(mutex_);
        timed_[endpoint].emplace_back(at, std::move(packet));
    }
    // Runs once, on the bus's thread, right after the device has named a time (a test moves the
    // clock on there, as it may while the device answers).
    void AfterNamingTime(std::function<void()> step) {
        std::lock_guard lock(mutex_);
        afterNaming_ = std::move(step);
    }
    // How often the bus asked for IN data of the endpoint.
    int InCalls(std::uint8_t endpoint) {
        std::lock_guard lock(mutex_);
        return inCalls_[endpoint];
    }

    // Queues one IN packet that appears inside the device's next OUT call that takes a message,
    // as a command's answer does: the device does not wake the bus for it.
    void OfferOnOut(std::uint8_t endpoint, Bytes packet) {
        std::lock_guard lock(mutex_);
        onOut_.emplace_back(endpoint, std::move(packet));
    }
    // Queues one IN packet (shorter than the max packet: ends a transfer; empty: zero-length).
    void Offer(std::uint8_t endpoint, Bytes packet) {
        {
            std::lock_guard lock(mutex_);
            packets_[endpoint].push_back(std::move(packet));
        }
        WakeBus();
    }
    // While held, OUT transfers stay pending.
    void HoldOut(bool hold) {
        {
            std::lock_guard lock(mutex_);
            holdOut_ = hold;
        }
        WakeBus();
    }
    std::vector<Bytes> Received(std::uint8_t endpoint) {
        std::lock_guard lock(mutex_);
        return received_[endpoint];
    }
    std::vector<std::uint8_t> Selected() {
        std::lock_guard lock(mutex_);
        return selected_;
    }
    std::vector<std::uint8_t> Resets() {
        std::lock_guard lock(mutex_);
        return resets_;
    }
    bool HasPort() {
        std::lock_guard lock(mutex_);
        return port_ != nullptr;
    }

    InResult In(std::uint8_t endpoint, std::span<std::uint8_t> room,
                std::uint16_t maxPacket) override {
        std::lock_guard lock(mutex_);
        ++inCalls_[endpoint];
        auto& timed = timed_[endpoint];
        while (!timed.empty() && timed.front().first <= simclock::Now()) {
            packets_[endpoint].push_back(std::move(timed.front().second));
            timed.pop_front();
        }
        InResult result;
        auto& queue = packets_[endpoint];
        while (!queue.empty() && result.bytes < room.size()) {
            Bytes& packet = queue.front();
            const std::size_t n = std::min(packet.size(), room.size() - result.bytes);
            if (n > 0)
                std::memcpy(room.data() + result.bytes, packet.data(), n);
            result.bytes += n;
            const bool isShort = packet.size() < maxPacket;
            if (n < packet.size()) {
                packet.erase(packet.begin(), packet.begin() + static_cast<std::ptrdiff_t>(n));
                break;
            }
            queue.pop_front();
            if (isShort) {
                result.ended = true;
                break;
            }
        }
        return result;
    }
    std::optional<std::chrono::nanoseconds> RetryAfter(std::uint8_t endpoint,
                                                       std::size_t) override {
        std::function<void()> step;
        std::optional<std::chrono::nanoseconds> after;
        {
            std::lock_guard lock(mutex_);
            const auto& timed = timed_[endpoint];
            if (timed.empty())
                return std::nullopt;
            after = std::max(timed.front().first - simclock::Now(), simclock::Duration{0});
            step = std::exchange(afterNaming_, {});
        }
        if (step)
            step();
        return after;
    }
    OutResult Out(std::uint8_t endpoint, std::span<const std::uint8_t> data) override {
        std::lock_guard lock(mutex_);
        if (holdOut_)
            return OutResult::Held;
        received_[endpoint].emplace_back(data.begin(), data.end());
        for (auto& [in, packet] : std::exchange(onOut_, {}))
            packets_[in].push_back(std::move(packet));
        return OutResult::Taken;
    }

  private:
    void WakeBus() {
        std::lock_guard lock(mutex_);
        if (port_ != nullptr)
            port_->Wake();
    }

    std::mutex mutex_;
    DevicePort* port_ = nullptr;
    Bytes device_;
    Bytes config_;
    std::map<std::uint8_t, std::deque<Bytes>> packets_;
    std::map<std::uint8_t, std::deque<std::pair<simclock::Duration, Bytes>>> timed_;
    std::vector<std::pair<std::uint8_t, Bytes>> onOut_;
    std::map<std::uint8_t, int> inCalls_;
    std::map<std::uint8_t, std::vector<Bytes>> received_;
    std::vector<std::uint8_t> selected_;
    std::vector<std::uint8_t> resets_;
    bool holdOut_ = false;
    std::function<void()> afterNaming_;
};

using usb::testing::SendPnp;
using usb::testing::UrbRequest;

// A bus with one scripted device, configured: pipe handles by endpoint address.
struct BusFixture : ::testing::Test {
    Bus bus;
    std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
    PDEVICE_OBJECT pdo = nullptr;
    std::map<std::uint8_t, USBD_PIPE_HANDLE> pipes;

    void SetUp() override {
        pdo = bus.Plug(device);
        ASSERT_NE(pdo, nullptr);
        Select();
    }

    void Select() { Select(pdo, *device, pipes); }

    // Selects the first configuration of another device on the bus, its pipe handles into `into`.
    void Select(PDEVICE_OBJECT target, ScriptedDevice& model,
                std::map<std::uint8_t, USBD_PIPE_HANDLE>& into) {
        Bytes config = model.ConfigurationDescriptor(0);
        auto* descriptor = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(config.data());
        USBD_INTERFACE_LIST_ENTRY list[2] = {};
        list[0].InterfaceDescriptor =
            USBD_ParseConfigurationDescriptorEx(descriptor, descriptor, 0, 0, -1, -1, -1);
        ASSERT_NE(list[0].InterfaceDescriptor, nullptr);
        PURB select = USBD_CreateConfigurationRequestEx(descriptor, list);
        ASSERT_NE(select, nullptr);
        {
            UrbRequest request(select);
            EXPECT_EQ(request.Send(target), STATUS_SUCCESS);
            ASSERT_TRUE(request.Wait());
        }
        for (ULONG i = 0; i < list[0].Interface->NumberOfPipes; ++i)
            into[list[0].Interface->Pipes[i].EndpointAddress] =
                list[0].Interface->Pipes[i].PipeHandle;
        ExFreePool(select);
    }

    // Builds a bulk or interrupt transfer on the endpoint's pipe.
    void Build(UrbRequest& request, std::uint8_t endpoint, void* buffer, ULONG length,
               ULONG flags) {
        Build(request, endpoint, buffer, length, flags, pipes);
    }
    void Build(UrbRequest& request, std::uint8_t endpoint, void* buffer, ULONG length, ULONG flags,
               std::map<std::uint8_t, USBD_PIPE_HANDLE>& on) {
        UsbBuildInterruptOrBulkTransferRequest(
            request.urb(), sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER), on[endpoint], buffer, nullptr,
            length, flags, nullptr);
    }
};

}  // namespace usb::test
