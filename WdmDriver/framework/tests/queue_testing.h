// A device whose read, write and device-control requests go into a queue under test, and a busy
// count that records its releases.
#pragma once

#include <atomic>

#include "framework/busy_counter.h"
#include "framework/request_queue.h"
#include "framework_testing.h"
#include "kernel/loader.h"

namespace wdm_test {

struct CountingDevice : wdm::BusyCounter {
    std::atomic<int> acquired{0};
    std::atomic<int> released{0};
    void AcquireBusy() override { ++acquired; }
    void ReleaseBusy() override { ++released; }
};

// Loads a driver with one device that queues its requests in the queue given to Attach.
class QueueDevice {
  public:
    QueueDevice() {
        EXPECT_EQ(kernel::LoadDriver(u"wdmqueuetest", Entry, u"", &driver_), STATUS_SUCCESS);
        EXPECT_EQ(IoCreateDevice(driver_, sizeof(wdm::RequestQueue*), nullptr, FILE_DEVICE_UNKNOWN,
                                 0, FALSE, &device_),
                  STATUS_SUCCESS);
        device_->Flags &= ~static_cast<ULONG>(DO_DEVICE_INITIALIZING);
    }
    ~QueueDevice() {
        IoDeleteDevice(device_);
        kernel::UnloadDriver(driver_);
    }
    QueueDevice(const QueueDevice&) = delete;
    QueueDevice& operator=(const QueueDevice&) = delete;

    void Attach(wdm::RequestQueue* queue) {
        *static_cast<wdm::RequestQueue**>(device_->DeviceExtension) = queue;
    }
    PDEVICE_OBJECT Device() const { return device_; }

  private:
    static NTSTATUS Dispatch(PDEVICE_OBJECT device, PIRP irp) {
        return (*static_cast<wdm::RequestQueue**>(device->DeviceExtension))->Queue(irp);
    }
    static NTSTATUS Entry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
        driver->MajorFunction[IRP_MJ_READ] = Dispatch;
        driver->MajorFunction[IRP_MJ_WRITE] = Dispatch;
        driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = Dispatch;
        return STATUS_SUCCESS;
    }

    PDRIVER_OBJECT driver_ = nullptr;
    PDEVICE_OBJECT device_ = nullptr;
};

}  // namespace wdm_test
