// `BoardDevice`: one MQ5120 board on the USB bus, on the data-acquisition device. It owns the
// board's USB target and six pipes, its command channel and status reads. Starting selects
// configuration 1, identifies the board (type, serial number), registers it and writes the initial
// register values; stopping deselects the configuration; removal tells the subsystems and removes
// the unnumbered link of instance 0.
//
// The files, their subsystem objects and the request dispatch are the data-acquisition device's.
// The board supplies its subsystems, answers the device-level requests (registers, calibration
// pots, hardware information) through the command channel, and is the device's status pipe: the
// device keeps three reads outstanding while any file is open, and each message is routed to the
// open subsystems (RouteStatusMessage), or to a route a test sets.
#pragma once

#include <atomic>

#include "board/board_registration.h"
#include "board/command_channel.h"
#include "board/driver_options.h"
#include "board/protocol.h"
#include "board/status_reader.h"
#include "dalayer/da_device.h"
#include "dalayer/status_pipe.h"
#include "framework/kernel_sync.h"
#include "framework/numbered_name.h"
#include "framework/usb_target.h"
#include "hxda/request_codes.h"
#include "kernel/workitem.h"

namespace board {

// The device interface class the library enumerates.
extern const GUID kBoardInterfaceClass;

class BoardDevice : public dalayer::DaDevice, private dalayer::StatusPipe {
  public:
    BoardDevice(ULONG instance, const ServiceParameters& parameters);
    ~BoardDevice() override;

    // Creates the device object "\Device\MQ5120<n>", its link "\??\MQ5120<n>" (and for instance
    // 0 "\DosDevices\MQ5120"), attaches it and registers the device interface.
    NTSTATUS Create(PDRIVER_OBJECT driver, PDEVICE_OBJECT physicalDevice);

    // ---- What the start found ------------------------------------------------------------------
    ULONG Instance() const { return instance_; }
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
    wdm::UsbPipe& AdPipe() { return ad_; }
    wdm::UsbPipe& DaPipe() { return da_; }
    // Where status messages and the removal go instead of the open subsystems; null gives them
    // back to the subsystems. Set while no file is open. The removal is told once per start,
    // whether the status pipe or Plug and Play reported it first.
    void SetStatusRoute(StatusRoute* route) { relay_.route = route; }
    // Shadows of registers 2, 0 and 1. The board control word serves the D/A and the digital
    // output port: its shadow is changed and written under ControlMutex.
    USHORT& ControlShadow() { return controlShadow_; }
    wdm::KernelMutex& ControlMutex() { return controlMutex_; }
    USHORT& AdControlShadow() { return adControlShadow_; }
    USHORT& EnableShadow() { return enableShadow_; }

    // Queues the pipe recovery after a transaction error on the status pipe (the route decides
    // when): the status reads are stopped, the command, reply, D/A and status pipes reset, and
    // the reads posted again. False when the device is going away or a recovery is queued.
    bool QueueRecovery();
    // The pipe recovery itself (passive level): the status reads are stopped, the command, reply,
    // data and status pipes reset, and the reads posted again.
    void ResetPipes(const wdm::UsbPipe& data);
    // Started, and neither stopped nor removed since.
    bool Available() const { return started_ && !Is(kRemoved) && !Is(kSurpriseRemoved); }

  protected:
    dalayer::DaSubsystem* CreateSubsystem(ULONG type, ULONG element) override;
    hxda::ApiStatus SetHardwareInfo(dalayer::DaRequest& request) override;
    hxda::ApiStatus GetHardwareInfo(dalayer::DaRequest& request) override;
    hxda::ApiStatus WriteRegister(dalayer::DaRequest& request) override;
    hxda::ApiStatus ReadRegister(dalayer::DaRequest& request) override;
    hxda::ApiStatus WriteCalPot(dalayer::DaRequest& request) override;
    hxda::ApiStatus ReadCalPot(dalayer::DaRequest& request) override;

    NTSTATUS OnStartDevice(PIRP irp) override;
    NTSTATUS OnStopDevice(PIRP irp) override;
    NTSTATUS OnRemoveDevice(PIRP irp) override;
    NTSTATUS OnSurpriseRemoval(PIRP irp) override;

  private:
    // The status pipe the data-acquisition device drives.
    NTSTATUS PostStatusRead() override;
    void AbortStatusPipe() override;
    static void StatusReadReturned(void* context, bool postAnother);
    // The pipes are recovered only while no subsystem moves data.
    void RecoverWhenIdle();
    // Checks a calibration pot request; the command and the element word it is sent with.
    static hxda::ApiStatus CalPotCommand(const hxda::CalPotParameters& pot, UCHAR* code,
                                         USHORT* element);

    NTSTATUS StartSequence();
    NTSTATUS Identify();
    NTSTATUS Register();
    NTSTATUS WriteInitialRegisters();
    void ReadIdentityStrings();
    bool ConfigurationSelected() const;
    // Stops the status reads and ends every pending transfer of the board's pipes.
    void QuiesceBoard();
    static void RecoveryRoutine(PDEVICE_OBJECT device, PVOID context);

    // Passes status messages on to the route, or else to the open subsystems, and lets the
    // removal through once.
    struct Relay : StatusRoute {
        void Message(USHORT type, USHORT flags) override {
            if (route != nullptr)
                route->Message(type, flags);
            else
                device->RouteStatusMessage(type, flags);
        }
        void Signal(SubsystemKind kind, dalayer::SubsystemEvent event, ULONG data) override {
            if (route != nullptr)
                route->Signal(kind, event, data);
        }
        void DaReady() override {
            if (route != nullptr)
                route->DaReady();
        }
        void DeviceRemoved() override {
            if (removalTold.exchange(true))
                return;
            if (route != nullptr)
                route->DeviceRemoved();
            else
                device->BroadcastEvent(dalayer::SubsystemEvent::kDeviceRemoved, 0);
        }
        void TransactionError() override {
            if (route != nullptr)
                route->TransactionError();
            else
                device->RecoverWhenIdle();
        }
        BoardDevice* device = nullptr;
        StatusRoute* route = nullptr;
        std::atomic<bool> removalTold{false};
    };

    ULONG instance_;
    ServiceParameters parameters_;
    DriverOptions options_;
    ULONG serialNumber_ = 0;
    bool noAnalogOutput_ = false;
    std::atomic<bool> started_{false};
    USHORT controlShadow_ = kControlInitial;
    wdm::KernelMutex controlMutex_{1};
    USHORT adControlShadow_ = 0;
    USHORT enableShadow_ = 0;
    PCWSTR modelName_ = u"";
    WCHAR oemModelName_[40] = {};
    WCHAR description_[40] = {};
    WCHAR boardName_[kBoardNameChars] = {};

    wdm::NumberedName deviceName_;
    wdm::NumberedName linkName_;
    bool unnumberedLink_ = false;

    wdm::UsbTarget usb_;
    wdm::UsbInterface interface_;
    wdm::UsbPipe spare_, statusPipe_, da_, command_, reply_;
    wdm::UsbPipe ad_{kAdRingBytes};
    CommandChannel channel_;
    StatusReader status_;
    Relay relay_;
    PIO_WORKITEM recoveryItem_ = nullptr;
    std::atomic<bool> recoveryQueued_{false};
};

}  // namespace board
