#include "board/board_device.h"

#include <new>

#include "board/ad_subsystem.h"
#include "board/analog_out_subsystem.h"
#include "board/counter_subsystem.h"
#include "board/model_table.h"
#include "board/port_subsystems.h"
#include "dalayer/trace.h"
#include "hxda/request_codes.h"

namespace board {

namespace {

constexpr PCWSTR kDeviceBase = u"\\Device\\MQ5120";
constexpr PCWSTR kLinkBase = u"\\??\\MQ5120";
constexpr PCWSTR kUnnumberedLink = u"\\DosDevices\\MQ5120";
// Property buffers hold 40 characters (80 bytes of 16-bit characters), terminator included.
constexpr ULONG kPropertyChars = 40;
constexpr WCHAR kOemManufacturer[] = u"Varnholt";
constexpr ULONG kDescriptorBuffer = 1024;

GUID InterfaceClass() {
    const auto& g = hxda::kDeviceInterfaceGuid;
    GUID guid{g.data1, g.data2, g.data3, {}};
    for (int i = 0; i < 8; ++i)
        guid.Data4[i] = g.data4[i];
    return guid;
}

}  // namespace

const GUID kBoardInterfaceClass = InterfaceClass();

BoardDevice::BoardDevice(ULONG instance, const ServiceParameters& parameters)
    : instance_(instance),
      parameters_(parameters),
      channel_(usb_, command_, reply_),
      status_(usb_, statusPipe_) {
    SetBoardType(kTypeBeforeStart);
    relay_.device = this;
    status_.SetRoute(&relay_);
    status_.SetOwner(&BoardDevice::StatusReadReturned, this);
    SetStatusPipe(this);
}

BoardDevice::~BoardDevice() {
    if (recoveryItem_ != nullptr)
        IoFreeWorkItem(recoveryItem_);
}

NTSTATUS BoardDevice::Create(PDRIVER_OBJECT driver, PDEVICE_OBJECT physicalDevice) {
    SetDefaultPnpPolicy();
    NTSTATUS status = deviceName_.Make(kDeviceBase, instance_, 10);
    if (NT_SUCCESS(status))
        status = linkName_.Make(kLinkBase, instance_, 10);
    if (!NT_SUCCESS(status))
        return status;
    status = Initialize(driver, physicalDevice, deviceName_.Text(), linkName_.Text(), DO_DIRECT_IO,
                        &kBoardInterfaceClass);
    if (!NT_SUCCESS(status))
        return status;
    // The base attached the device above the physical device; the USB target sends to the same
    // device below, so it takes that place over (detach, then attach again to the same device).
    IoDetachDevice(LowerDevice());
    status = usb_.Attach(DeviceObject(), physicalDevice);
    if (!NT_SUCCESS(status))
        return status;
    recoveryItem_ = IoAllocateWorkItem(DeviceObject());
    if (recoveryItem_ == nullptr) {
        // The caller destroys the record: the device object must not stay in the stack.
        usb_.Detach();
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    if (instance_ == 0) {
        UNICODE_STRING link;
        RtlInitUnicodeString(&link, kUnnumberedLink);
        unnumberedLink_ = NT_SUCCESS(IoCreateSymbolicLink(&link, deviceName_.String()));
    }
    return STATUS_SUCCESS;
}

// ---- Status pipe -------------------------------------------------------------------------------

NTSTATUS BoardDevice::PostStatusRead() {
    // A file opened while the device is stopped gets its reads at the start.
    if (!started_)
        return STATUS_DEVICE_NOT_CONNECTED;
    return status_.PostOne();
}

void BoardDevice::AbortStatusPipe() {
    status_.Stop();
}

void BoardDevice::StatusReadReturned(void* context, bool postAnother) {
    static_cast<BoardDevice*>(context)->DaDevice::StatusReadReturned(postAnother);
}

void BoardDevice::RecoverWhenIdle() {
    bool moving = false;
    for (ULONG type : {HXSS_AD, HXSS_DA})
        WithSubsystem(type, 0, [&](dalayer::DaSubsystem& object) { moving |= object.Query(); });
    if (!moving)
        QueueRecovery();
    else
        MQ5120K_TRACE(
            "transaction error on the status pipe of board %u: no recovery while "
            "streaming",
            instance_);
}

dalayer::DaSubsystem* BoardDevice::CreateSubsystem(ULONG type, ULONG element) {
    switch (type) {
        case HXSS_AD:
            // The A/D of a board with analog inputs.
            if (element == 0 && (BoardType() & kTypeNoAnalogInputs) == 0)
                return new (std::nothrow) AdSubsystem(this, element);
            return nullptr;
        case HXSS_DA:
            // The analog outputs (or the byte output of a board without them), the byte output.
            if (element <= kDaElements - 1)
                return new (std::nothrow) AnalogOutSubsystem(this, element);
            return nullptr;
        case HXSS_DIN:
            return element == 0 ? new (std::nothrow) DinSubsystem(this, element) : nullptr;
        case HXSS_DOUT:
            return element == 0 ? new (std::nothrow) DoutSubsystem(this, element) : nullptr;
        case HXSS_CT:
            // Every element a file can name opens; its requests refuse one the board lacks.
            return new (std::nothrow) CounterSubsystem(this, element);
        default:
            return nullptr;
    }
}

// ---- Start -------------------------------------------------------------------------------------

NTSTATUS BoardDevice::OnStartDevice(PIRP irp) {
    const NTSTATUS status = StartSequence();
    if (!NT_SUCCESS(status)) {
        MQ5120K_TRACE("start of board %u failed: 0x%08X", instance_, static_cast<ULONG>(status));
        if (ConfigurationSelected())
            usb_.Deselect();
        return status;
    }
    started_ = true;
    relay_.removalTold = false;
    // A file opened while the device was stopped gets its status reads now.
    PostStatusReads();
    return status;
}

bool BoardDevice::ConfigurationSelected() const {
    return usb_.ConfigurationHandle() != nullptr;
}

NTSTATUS BoardDevice::StartSequence() {
    const UCHAR c = kConfigurationValue;
    const wdm::PipeBinding table[] = {
        {c, 0, 0, kEndpointSpare, &interface_, &spare_},
        {c, 0, 0, kEndpointStatus, &interface_, &statusPipe_},
        {c, 0, 0, kEndpointDa, &interface_, &da_},
        {c, 0, 0, kEndpointAd, &interface_, &ad_},
        {c, 0, 0, kEndpointCommand, &interface_, &command_},
        {c, 0, 0, kEndpointReply, &interface_, &reply_},
    };
    ULONG failing = 0;
    if (const wdm::SelectResult selected =
            usb_.SelectConfiguration(c, table, std::size(table), &failing, kDescriptorBuffer);
        selected != wdm::SelectResult::kSuccess) {
        MQ5120K_TRACE("configuration %u of board %u not selected: result %d, pipe 0x%02X", c,
                      instance_, static_cast<int>(selected),
                      failing < std::size(table) ? table[failing].endpointAddress : 0);
        return STATUS_UNSUCCESSFUL;
    }

    NTSTATUS status = Identify();
    if (NT_SUCCESS(status))
        status = Register();
    if (NT_SUCCESS(status))
        status = WriteInitialRegisters();
    if (NT_SUCCESS(status) && options_.clearDataToggleOnAbort)
        status = channel_.ClearDataToggle();
    return status;
}

NTSTATUS BoardDevice::Identify() {
    HardwareWords words;
    NTSTATUS status = channel_.ReadHardwareWords(&words);
    if (NT_SUCCESS(status))
        status = channel_.SetAdTransferSize(kAdTransferAtStart);
    if (NT_SUCCESS(status))
        status = channel_.WriteRegister(kRegBoardControl, kControlInitial | kControlStartPulse);
    UCHAR mask = 0;
    if (NT_SUCCESS(status))
        status = channel_.ReadDinChangeMask(&mask);
    if (NT_SUCCESS(status))
        status = channel_.WriteRegister(kRegDinChangeMask, mask);
    if (!NT_SUCCESS(status))
        return status;

    // An unreadable type is no error: the board is taken as type 12.
    USHORT type = kTypeWhenUnreadable;
    if (!NT_SUCCESS(channel_.ReadRegister(kRegBoardType, &type)))
        type = kTypeWhenUnreadable;
    SetBoardType(type);
    modelName_ = board::ModelName(type);

    status = channel_.ReadSerialNumber(&serialNumber_);
    if (!NT_SUCCESS(status))
        return status;
    noAnalogOutput_ = HasNoAnalogOutput(type);
    ReadIdentityStrings();
    return STATUS_SUCCESS;
}

void BoardDevice::ReadIdentityStrings() {
    WCHAR manufacturer[kPropertyChars] = {};
    ULONG length = 0;
    if (!NT_SUCCESS(IoGetDeviceProperty(PhysicalDevice(), DevicePropertyManufacturer,
                                        sizeof manufacturer, manufacturer, &length)))
        manufacturer[0] = 0;
    // Without a description the board database's key of this kind is the driver's name, the key
    // the library also falls back to when it renames a board.
    if (!NT_SUCCESS(IoGetDeviceProperty(PhysicalDevice(), DevicePropertyDeviceDescription,
                                        sizeof description_, description_, &length)) ||
        description_[0] == 0)
        wcsncpy(description_, kDriverName, std::size(description_) - 1);

    const std::size_t prefix = std::size(kOemManufacturer) - 1;
    if (wcsncmp(manufacturer, kOemManufacturer, prefix) == 0) {
        wcsncpy(oemModelName_, description_, std::size(oemModelName_) - 1);
        if (WCHAR* open = wcschr(oemModelName_, u'('))
            *open = 0;
        modelName_ = oemModelName_;
    }
}

NTSTATUS BoardDevice::Register() {
    const BoardRecord record{description_, modelName_, BoardType(), serialNumber_, instance_};
    NTSTATUS status = FindOrMakeBoardName(record, boardName_);
    if (!NT_SUCCESS(status))
        return status;
    // The interface's link name is the same at every registration of this device and class.
    UNICODE_STRING link{0, 0, nullptr};
    status = IoRegisterDeviceInterface(PhysicalDevice(), &kBoardInterfaceClass, nullptr, &link);
    if (!NT_SUCCESS(status))
        return status;
    status = WriteInterfaceValues(&link, record, boardName_);
    RtlFreeUnicodeString(&link);
    if (!NT_SUCCESS(status))
        return status;
    ReadDriverOptions(&options_);
    return STATUS_SUCCESS;
}

NTSTATUS BoardDevice::WriteInitialRegisters() {
    controlShadow_ = kControlInitial;
    adControlShadow_ = 0;
    enableShadow_ = 0;
    const RegisterPair writes[] = {
        {kRegBoardControl, controlShadow_},
        {kRegAdControl, adControlShadow_},
        {kRegEnable, enableShadow_},
        {kRegStrobes, kStrobeInitialPulse},
        {kRegStrobes, 0},
        {kRegStartStrobes, kStartStrobesAll},
        {kRegStartStrobes, 0},
        {kRegRunEnables, 0},
    };
    for (const RegisterPair& w : writes) {
        const NTSTATUS status = channel_.WriteRegister(w.reg, w.value);
        if (!NT_SUCCESS(status))
            return status;
    }
    return STATUS_SUCCESS;
}

// ---- Stop and removal --------------------------------------------------------------------------

void BoardDevice::QuiesceBoard() {
    status_.Stop();
    for (const wdm::UsbPipe* pipe : {&command_, &reply_, &ad_, &da_})
        if (pipe->Bound())
            usb_.AbortPipe(*pipe);
}

NTSTATUS BoardDevice::OnStopDevice(PIRP irp) {
    started_ = false;
    status_.Stop();
    if (ConfigurationSelected())
        usb_.Deselect();
    return STATUS_SUCCESS;
}

NTSTATUS BoardDevice::OnSurpriseRemoval(PIRP irp) {
    MQ5120K_TRACE("board %u (serial %u) removed while %s, %zu subsystems open", instance_,
                  serialNumber_, started_ ? "started" : "stopped", OpenSubsystemCount());
    if (started_)
        relay_.DeviceRemoved();
    started_ = false;
    QuiesceBoard();
    return STATUS_SUCCESS;
}

NTSTATUS BoardDevice::OnRemoveDevice(PIRP irp) {
    // Still started: the board went without a stop, and the open subsystems learn of it.
    if (started_)
        relay_.DeviceRemoved();
    started_ = false;
    // Commands still waiting on the board end now, so that the wait for idle below returns.
    QuiesceBoard();
    if (unnumberedLink_) {
        UNICODE_STRING link;
        RtlInitUnicodeString(&link, kUnnumberedLink);
        IoDeleteSymbolicLink(&link);
        unnumberedLink_ = false;
    }
    return STATUS_SUCCESS;
}

// ---- Recovery ----------------------------------------------------------------------------------

bool BoardDevice::QueueRecovery() {
    if (!Available() || recoveryQueued_.exchange(true))
        return false;
    AcquireBusy();
    IoQueueWorkItem(recoveryItem_, RecoveryRoutine, DelayedWorkQueue, this);
    return true;
}

void BoardDevice::ResetPipes(const wdm::UsbPipe& data) {
    status_.Stop();
    const wdm::UsbPipe* pipes[] = {&command_, &reply_, &data, &statusPipe_};
    for (const wdm::UsbPipe* pipe : pipes)
        if (pipe->Bound())
            usb_.ResetPipe(*pipe);
    PostStatusReads();
}

void BoardDevice::RecoveryRoutine(PDEVICE_OBJECT, PVOID context) {
    auto* self = static_cast<BoardDevice*>(context);
    self->ResetPipes(self->da_);
    self->recoveryQueued_ = false;
    self->ReleaseBusy();
}

}  // namespace board
