// A simulated MQ5120 on the machine's USB bus.
#include "usb_board.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "mq5120/board.h"
#include "mq5120_inputs.h"

namespace sim {
namespace {

constexpr std::uint32_t kAnalogInput = 0, kAnalogOutput = 1;

// Set once REMOVE_DEVICE has reached a board's physical device: its stack is gone. The bus deletes
// the physical device of a board off the bus right after, and a device plugged in later may get
// the same address, so the board learns of it here and never asks by the address.
using RemovedFlag = std::shared_ptr<std::atomic<bool>>;

// The boards whose physical devices' requests are noted, and the bus's own routines they go on
// to. A dispatch routine has no context but its device: the boards are found by it.
struct LoggedBoard {
    BoardKey key;
    PnpLog* log = nullptr;
    RemovedFlag removed;
};
struct LoggedDevices {
    std::mutex mutex;
    std::map<PDEVICE_OBJECT, LoggedBoard> boards;
    PDRIVER_DISPATCH pnp = nullptr;
    PDRIVER_DISPATCH power = nullptr;
};

LoggedDevices& Logged() {
    static LoggedDevices logged;
    return logged;
}

// Notes the request and hands it on to the bus's routine of its major function.
NTSTATUS NoteAndPass(PDEVICE_OBJECT device, PIRP irp) {
    const PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const UCHAR major = stack->MajorFunction;
    PDRIVER_DISPATCH next = nullptr;
    {
        LoggedDevices& logged = Logged();
        std::lock_guard lock(logged.mutex);
        if (auto found = logged.boards.find(device); found != logged.boards.end()) {
            found->second.log->Note(found->second.key, major, stack->MinorFunction);
            if (major == IRP_MJ_PNP && stack->MinorFunction == IRP_MN_REMOVE_DEVICE) {
                *found->second.removed = true;  // its last request
                logged.boards.erase(found);
            }
        }
        next = major == IRP_MJ_PNP ? logged.pnp : logged.power;
    }
    return next(device, irp);
}

RemovedFlag StartLogging(PDEVICE_OBJECT pdo, const BoardKey& key, PnpLog* log) {
    auto removed = std::make_shared<std::atomic<bool>>(false);
    LoggedDevices& logged = Logged();
    std::lock_guard lock(logged.mutex);
    logged.boards[pdo] = {key, log, removed};
    return removed;
}

// Forgets the board of that flag, unless a later board has its device's address by now.
void StopLogging(PDEVICE_OBJECT pdo, const RemovedFlag& removed) {
    LoggedDevices& logged = Logged();
    std::lock_guard lock(logged.mutex);
    if (auto found = logged.boards.find(pdo);
        found != logged.boards.end() && found->second.removed == removed)
        logged.boards.erase(found);
}

// The physical device is reached by its address only while the board is on the bus: once off it,
// the bus deletes the device after its REMOVE.
class UsbBoard final : public PluggedBoard {
  public:
    UsbBoard(usb::Bus* bus, PDEVICE_OBJECT pdo, std::shared_ptr<mq5120::Board> model,
             RemovedFlag removed)
        : bus_(bus), pdo_(pdo), model_(std::move(model)), removed_(std::move(removed)) {}
    // A board removed in order while on the bus leaves it now; its physical device goes.
    ~UsbBoard() override {
        if (onBus_)
            bus_->Unplug(pdo_);
        StopLogging(pdo_, removed_);
    }

    PDEVICE_OBJECT physical() const override { return pdo_; }
    void SetSignals(const std::map<ChannelKey, Signal>& signals) override {
        ApplyInputs(*model_, signals);
    }
    void PullOut() override {
        if (!onBus_)
            return;
        onBus_ = false;
        // The bus fails what the board held first, then the manager learns it is gone.
        bus_->Unplug(pdo_);
        kernel::pnp::DeviceGone(pdo_).get();
    }
    bool IsPluggedIn() const override { return onBus_ && !*removed_; }
    NTSTATUS RequestRemoval() override {
        if (!IsPluggedIn())
            return STATUS_NO_SUCH_DEVICE;
        const NTSTATUS status = kernel::pnp::RequestRemoval(pdo_).get();
        if (NT_SUCCESS(status)) {
            onBus_ = false;
            bus_->Unplug(pdo_);  // removed in order: now it can be taken off the bus
        }
        return status;
    }
    void Unplug() override {
        if (!IsPluggedIn() || kernel::pnp::StateOf(pdo_) != kernel::pnp::DeviceState::Started)
            return;
        if (!NT_SUCCESS(RequestRemoval()))
            PullOut();
    }
    bool StackRemoved() const override { return *removed_; }
    std::vector<OutputRecord> Outputs(bool clear) override {
        std::vector<OutputRecord> records;
        for (const mq5120::OutputChange& change : model_->Outputs())
            records.push_back({change.timeNs, change.channel, change.value});
        if (clear)
            model_->ClearLog();
        return records;
    }
    std::size_t DaUnderruns() const override { return model_->Counters().daUnderruns; }
    bool DaRunning() const override { return model_->DaRunning(); }
    std::size_t DaMemorySamples() const override { return model_->DaMemorySamples(); }
    bool InjectFault(std::uint32_t type, std::uint32_t element, InjectedFault fault) override {
        if (!IsPluggedIn() || element != 0)
            return false;
        switch (fault) {
            case InjectedFault::kOverrun:
                // The board's FIFO overflowed: it says so on its status pipe.
                if (type != kAnalogInput || !model_->AdRunning())
                    return false;
                model_->PostStatus(mq5120::kStatusTypeFlags, mq5120::kFlagAdOverflow);
                return true;
            case InjectedFault::kTrigger:
                if (!(type == kAnalogInput && model_->AdRunning()) &&
                    !(type == kAnalogOutput && model_->DaRunning()))
                    return false;
                model_->ExternalTrigger();
                return true;
        }
        return false;
    }

  private:
    usb::Bus* bus_;
    PDEVICE_OBJECT pdo_;
    std::shared_ptr<mq5120::Board> model_;
    RemovedFlag removed_;
    bool onBus_ = true;
};

}  // namespace

UsbPlugger::UsbPlugger(usb::Bus* bus, kernel::pnp::FunctionDriver driver, PnpLog* log)
    : bus_(bus), driver_(std::move(driver)), log_(log) {
    PDRIVER_OBJECT busDriver = bus_->Driver();
    LoggedDevices& logged = Logged();
    std::lock_guard lock(logged.mutex);
    busPnp_ = busDriver->MajorFunction[IRP_MJ_PNP];
    busPower_ = busDriver->MajorFunction[IRP_MJ_POWER];
    logged.pnp = busPnp_;
    logged.power = busPower_;
    busDriver->MajorFunction[IRP_MJ_PNP] = NoteAndPass;
    busDriver->MajorFunction[IRP_MJ_POWER] = NoteAndPass;
}

UsbPlugger::~UsbPlugger() {
    PDRIVER_OBJECT busDriver = bus_->Driver();
    LoggedDevices& logged = Logged();
    std::lock_guard lock(logged.mutex);
    busDriver->MajorFunction[IRP_MJ_PNP] = busPnp_;
    busDriver->MajorFunction[IRP_MJ_POWER] = busPower_;
    logged.boards.clear();
}

NTSTATUS UsbPlugger::PlugIn(const BoardDescription& board, std::unique_ptr<PluggedBoard>* plugged) {
    mq5120::BoardIdentity identity;
    identity.boardType = static_cast<std::uint8_t>(board.boardType);
    identity.stored.serialNumber = board.serialNumber;
    auto model =
        std::make_shared<mq5120::Board>(identity, std::make_shared<mq5120::PlatformTime>());
    model->SetUnpaced(board.unpaced);
    ApplyInputs(*model, board.signals);

    PDEVICE_OBJECT pdo = bus_->Plug(model);
    if (pdo == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    RemovedFlag removed = StartLogging(pdo, KeyOf(board), log_);
    char16_t serial[16];
    swprintf(serial, 16, u"%08X", board.serialNumber);
    NTSTATUS status = kernel::SetDeviceInstancePath(pdo, std::u16string(u"USB\\MQ5120\\") + serial);
    if (NT_SUCCESS(status)) {
        kernel::SetDeviceProperty(pdo, DevicePropertyManufacturer, u"Marquell");
        kernel::SetDeviceProperty(pdo, DevicePropertyDeviceDescription, u"MQ5120");
        status = kernel::pnp::DeviceArrived(pdo, driver_).get();
    }
    if (!NT_SUCCESS(status)) {
        // The manager has torn down what it built; the device leaves the bus.
        bus_->Unplug(pdo);
        StopLogging(pdo, removed);
        return status;
    }
    *plugged = std::make_unique<UsbBoard>(bus_, pdo, std::move(model), std::move(removed));
    return STATUS_SUCCESS;
}

}  // namespace sim
