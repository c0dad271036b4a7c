// `BoardDevice`: one MQ5120 board on the USB bus, on the Plug and Play device base. It owns the
// board's USB target and six pipes, its command channel and status reads. Starting selects
// configuration 1, identifies the board (type, serial number), registers it and writes the initial
// register values; stopping deselects the configuration; removal tells the subsystems and removes
// the unnumbered link of instance 0.
//
// The status reads run while any file of the device is open: the first open starts them, the last
// close stops them. Status messages go to the route the data-acquisition layer sets.
#pragma once

#include <atomic>

#include "board/board_registration.h"
#include "board/command_channel.h"
#include "board/driver_options.h"
#include "board/status_reader.h"
#include "framework/numbered_name.h"
#include "framework/pnp_device_base.h"
#include "framework/usb_target.h"
#include "kernel/workitem.h"

namespace board {

inline constexpr ULONG kBaseClockHz = 18'000'000;
inline constexpr USHORT kTypeBeforeStart = 0x9834;
inline constexpr USHORT kTypeWhenUnreadable = 12;
inline constexpr USHORT kControlShadowInitial = 0xF800;

// The device interface class the library enumerates.
extern const GUID kBoardInterfaceClass;

class BoardDevice : public wdm::PnpDeviceBase {
  public:
    BoardDevice(ULONG instance, const ServiceParameters& parameters);
    ~BoardDevice() override;

    // Creates the device object "\Device\MQ5120<n>", its link "\??\MQ5120<n>" (and for instance
    // 0 "\DosDevices\MQ5120"), attaches it and registers the device interface.
    NTSTATUS Create(PDRIVER_OBJECT driver, PDEVICE_OBJECT physicalDevice);

    // ---- What the start found ------------------------------------------------------------------
    ULONG Instance() const { return instance_; }
    USHORT BoardType() const { return boardType_; }
    ULONG SerialNumber() const { return serialNumber_; }
    ULONG BaseClock() const { return kBaseClockHz; }
    bool NoAnalogOutput() const { return noAnalogOutput_; }
    PCWSTR ModelName() const { return modelName_; }
    PCWSTR BoardName() const { return boardName_; }
    const DriverOptions& Options() const { return options_; }
    const ServiceParameters& Parameters() const { return parameters_; }
    bool Started() const { return started_; }

    // ---- For the subsystems --------------------------------------------------------------------
    CommandChannel& Commands() { return channel_; }
    StatusReader& Status() { return status_; }
    wdm::UsbTarget& Usb() { return usb_; }
    const wdm::UsbPipe& AdPipe() const { return ad_; }
    const wdm::UsbPipe& DaPipe() const { return da_; }
    // Where status messages and the removal go; null drops them. Set while no file is open.
    // The removal reaches the route once per start, whether the status pipe or Plug and Play
    // reported it first.
    void SetStatusRoute(StatusRoute* route) { relay_.route = route; }
    // Shadows of registers 2, 0 and 1.
    USHORT& ControlShadow() { return controlShadow_; }
    USHORT& AdControlShadow() { return adControlShadow_; }
    USHORT& EnableShadow() { return enableShadow_; }

    // Queues the pipe recovery after a transaction error on the status pipe (the route decides
    // when): the status reads are stopped, the command, reply, D/A and status pipes reset, and
    // the reads posted again. False when the device is going away or a recovery is queued.
    bool QueueRecovery();

  protected:
    NTSTATUS OnCreate(PIRP irp) override;
    NTSTATUS OnClose(PIRP irp) override;
    NTSTATUS OnCleanup(PIRP irp) override;
    NTSTATUS OnStartDevice(PIRP irp) override;
    NTSTATUS OnStopDevice(PIRP irp) override;
    NTSTATUS OnRemoveDevice(PIRP irp) override;
    NTSTATUS OnSurpriseRemoval(PIRP irp) override;

  private:
    NTSTATUS StartSequence();
    NTSTATUS Identify();
    NTSTATUS Register();
    NTSTATUS WriteInitialRegisters();
    void ReadIdentityStrings();
    bool ConfigurationSelected() const;
    // Stops the status reads and ends every pending transfer of the board's pipes.
    void QuiesceBoard();
    static void RecoveryRoutine(PDEVICE_OBJECT device, PVOID context);

    // Passes status messages on to the route and lets the removal through once.
    struct Relay : StatusRoute {
        void Signal(SubsystemKind kind, ULONG event, ULONG data) override {
            if (route != nullptr)
                route->Signal(kind, event, data);
        }
        void DaReady() override {
            if (route != nullptr)
                route->DaReady();
        }
        void DeviceRemoved() override {
            if (!removalTold.exchange(true) && route != nullptr)
                route->DeviceRemoved();
        }
        void TransactionError() override {
            if (route != nullptr)
                route->TransactionError();
        }
        StatusRoute* route = nullptr;
        std::atomic<bool> removalTold{false};
    };

    ULONG instance_;
    ServiceParameters parameters_;
    DriverOptions options_;
    USHORT boardType_ = kTypeBeforeStart;
    ULONG serialNumber_ = 0;
    bool noAnalogOutput_ = false;
    std::atomic<bool> started_{false};
    USHORT controlShadow_ = kControlShadowInitial;
    USHORT adControlShadow_ = 0;
    USHORT enableShadow_ = 0;
    PCWSTR modelName_ = L"";
    WCHAR oemModelName_[40] = {};
    WCHAR description_[40] = {};
    WCHAR boardName_[kBoardNameChars] = {};

    wdm::NumberedName deviceName_;
    wdm::NumberedName linkName_;
    bool unnumberedLink_ = false;

    wdm::UsbTarget usb_;
    wdm::UsbInterface interface_;
    wdm::UsbPipe spare_, statusPipe_, da_, command_, reply_;
    wdm::UsbPipe ad_{0x10000};
    CommandChannel channel_;
    StatusReader status_;
    Relay relay_;
    PIO_WORKITEM recoveryItem_ = nullptr;
    std::atomic<bool> recoveryQueued_{false};
};

}  // namespace board
