// A simulated MQ5120 on the machine's USB bus.
#include "usb_board.h"

#include <cwchar>
#include <string>

#include "mq5120/board.h"
#include "mq5120_inputs.h"

namespace sim {
namespace {

constexpr int kDeleteTimeoutMs = 5000;
constexpr std::uint32_t kAnalogInput = 0, kAnalogOutput = 1;

class UsbBoard final : public PluggedBoard {
  public:
    UsbBoard(usb::Bus* bus, PDEVICE_OBJECT pdo, std::shared_ptr<mq5120::Board> model)
        : bus_(bus), pdo_(pdo), model_(std::move(model)) {}
    // The board leaves the bus (if it had not) and its physical device goes with it.
    ~UsbBoard() override {
        bus_->Unplug(pdo_);
        bus_->WaitDeleted(pdo_, kDeleteTimeoutMs);
    }

    PDEVICE_OBJECT physical() const override { return pdo_; }
    void SetSignals(const std::map<ChannelKey, Signal>& signals) override {
        ApplyInputs(*model_, signals);
    }
    void PullOut() override {
        if (pulledOut_)
            return;
        pulledOut_ = true;
        // The bus fails what the board held first, then the manager learns it is gone.
        bus_->Unplug(pdo_);
        kernel::pnp::DeviceGone(pdo_).get();
    }
    bool IsPluggedIn() const override { return !pulledOut_ && !removed_; }
    void Unplug() override {
        if (kernel::pnp::StateOf(pdo_) != kernel::pnp::DeviceState::Started)
            return;
        if (NT_SUCCESS(kernel::pnp::RequestRemoval(pdo_).get())) {
            removed_ = true;
            bus_->Unplug(pdo_);  // removed in order: now it can be taken off the bus
        } else {
            PullOut();
        }
    }
    bool StackRemoved() const override {
        switch (kernel::pnp::StateOf(pdo_)) {
            case kernel::pnp::DeviceState::Unknown:
            case kernel::pnp::DeviceState::StartFailed:
            case kernel::pnp::DeviceState::Removed:
                return true;
            default:
                return false;
        }
    }
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
    bool pulledOut_ = false;
    bool removed_ = false;  // in order
};

}  // namespace

NTSTATUS UsbPlugger::PlugIn(const BoardDescription& board, std::unique_ptr<PluggedBoard>* plugged) {
    mq5120::BoardIdentity identity;
    identity.boardType = static_cast<std::uint8_t>(board.boardType);
    identity.stored.serialNumber = board.serialNumber;
    auto model = std::make_shared<mq5120::Board>(identity);
    model->SetUnpaced(board.unpaced);
    ApplyInputs(*model, board.signals);

    PDEVICE_OBJECT pdo = bus_->Plug(model);
    if (pdo == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    wchar_t serial[16];
    std::swprintf(serial, 16, L"%08X", board.serialNumber);
    NTSTATUS status = kernel::SetDeviceInstancePath(pdo, std::wstring(L"USB\\MQ5120\\") + serial);
    if (NT_SUCCESS(status)) {
        kernel::SetDeviceProperty(pdo, DevicePropertyManufacturer, L"Marquell");
        kernel::SetDeviceProperty(pdo, DevicePropertyDeviceDescription, L"MQ5120");
        status = kernel::pnp::DeviceArrived(pdo, driver_).get();
    }
    if (!NT_SUCCESS(status)) {
        // The manager has torn down what it built; the device leaves the bus.
        bus_->Unplug(pdo);
        return status;
    }
    *plugged = std::make_unique<UsbBoard>(bus_, pdo, std::move(model));
    return STATUS_SUCCESS;
}

}  // namespace sim
