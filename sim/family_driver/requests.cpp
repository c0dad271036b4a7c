// Device-control requests: the size and subsystem checks every request passes, the configure
// request, single values from the board's signals, and the device-level requests (registers,
// calibration potentiometers, hardware information). A malformed request completes with a status;
// nothing in a request is trusted before it is checked.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "board_device.h"
#include "hxda/protocol.h"
#include "hxdacodes.h"

namespace sim {
namespace {

using hxda::ConfigurationBlock;
using hxda::DriverRequest;

constexpr std::uint32_t kUsbConnectionRegister = 0x4006;
constexpr std::uint32_t kHighSpeed = 1;

bool IsDeviceRequest(ULONG code) {
    switch (code) {
        case IOCTL_HXDA_WRITEREG:
        case IOCTL_HXDA_READREG:
        case IOCTL_HXDA_SETHWINFO:
        case IOCTL_HXDA_GETHWINFO:
        case IOCTL_HXDA_WRITECALPOT:
        case IOCTL_HXDA_READCALPOT:
        case IOCTL_HXDA_RESERVED:
            return true;
        default:
            return false;
    }
}

// Channels a subsystem answers single values for (one at least: a port or a counter).
std::uint32_t ChannelCount(const SubsystemTables& tables) {
    return std::max({tables.channels, tables.singleEndedChannels, tables.differentialChannels,
                     std::uint32_t{1}});
}

bool ValidChannel(const SubsystemTables& tables, std::uint32_t channel) {
    return channel < ChannelCount(tables) ||
           (tables.extraChannel != 0 && channel == tables.extraChannel);
}

double GainOf(const hxda::FixedPoint& pair) {
    const double gain = hxda::decodeFixedPoint(pair);
    return gain > 0.0 ? gain : 1.0;
}

bool IsInput(std::uint32_t type) {
    return type == HXSS_AD || type == HXSS_DIN || type == HXSS_CT;
}

std::uint32_t ReadChannel(BoardDevice& device, const OpenFile& file, const SubsystemSlot& slot,
                          std::uint32_t channel, double gain) {
    const ChannelKey key{file.type, file.element, channel};
    if (IsInput(file.type))
        return device.board->ReadInput(key, FormatOf(slot, gain));
    return device.board->ReadOutput(key);
}

std::uint32_t Configure(SubsystemSlot& slot, const OpenFile& file, std::uint8_t* buffer,
                        ULONG length) {
    ConfigurationBlock block;
    std::memcpy(&block, buffer, sizeof block);
    if (block.subsystemType != file.type || block.element != file.element)
        return HXINVALIDSUBSYS;
    // The list must fit the subsystem and the bytes that were sent.
    if (block.channelListSize > std::max<std::uint32_t>(slot.tables.listSize, 1) ||
        hxda::kListEntriesOffset + hxda::kListEntrySize * block.channelListSize > length)
        return HXINVALIDLISTSIZE;
    if (slot.tables.channels != 0) {
        for (std::uint32_t i = 0; i < block.channelListSize; ++i) {
            hxda::ChannelListEntry entry;
            std::memcpy(&entry, buffer + hxda::kListEntriesOffset + hxda::kListEntrySize * i,
                        sizeof entry);
            if (!ValidChannel(slot.tables, entry.channel))
                return HXINVALIDCHANNEL;
        }
    }
    if (block.resolution > 32)
        return HXINVALIDRESOLUTION;
    if (block.encoding != 200 && block.encoding != 201)
        return HXINVALIDENCODING;
    // The values the board can do go back to the caller, in the form the caller gave them.
    if (slot.tables.maxClock > 0.0) {
        const bool asFloat = block.clockFrequencyForm == 1;
        const double asked =
            asFloat ? block.clockFrequencyFloat : hxda::decodeFixedPoint(block.clockFrequency);
        const double clock = std::clamp(asked, slot.tables.minClock, slot.tables.maxClock);
        if (clock != asked) {
            if (asFloat)
                block.clockFrequencyFloat = static_cast<float>(clock);
            else
                block.clockFrequency = hxda::encodeFixedPoint(clock);
        }
    }
    if (slot.tables.maxRetrigger > 0.0) {
        const bool asFloat = block.retriggerFrequencyForm == 1;
        const double asked = asFloat ? block.retriggerFrequencyFloat
                                     : hxda::decodeFixedPoint(block.retriggerFrequency);
        const double rate = std::clamp(asked, slot.tables.minRetrigger, slot.tables.maxRetrigger);
        if (rate != asked) {
            if (asFloat)
                block.retriggerFrequencyFloat = static_cast<float>(rate);
            else
                block.retriggerFrequency = hxda::encodeFixedPoint(rate);
        }
    }
    block.pulseWidth = std::min<std::uint16_t>(block.pulseWidth, 100);
    block.status = HXNOERROR;
    std::memcpy(buffer, &block, sizeof block);
    slot.configuration.assign(buffer, buffer + length);
    return HXNOERROR;
}

std::uint32_t SubsystemRequest(BoardDevice& device, const OpenFile& file, SubsystemSlot& slot,
                               ULONG code, DriverRequest& request) {
    if (request.subsystemType != file.type || request.element != file.element)
        return HXINVALIDSUBSYS;
    switch (code) {
        case IOCTL_HXDA_SETSINGLEVALUE: {
            const auto& p = request.parameters.singleValue;
            if (IsInput(file.type))
                return HXNOTSUPPORTED;
            if (!ValidChannel(slot.tables, p.channel))
                return HXINVALIDCHANNEL;
            device.board->WriteOutput({file.type, file.element, p.channel}, p.value);
            return HXNOERROR;
        }
        case IOCTL_HXDA_GETSINGLEVALUE: {
            auto& p = request.parameters.singleValue;
            if (!ValidChannel(slot.tables, p.channel))
                return HXINVALIDCHANNEL;
            const double gain = GainOf(p.gain);
            p.value = ReadChannel(device, file, slot, p.channel, gain);
            if (p.autoRange)
                p.gain = hxda::encodeFixedPoint(gain);  // the gain used: no other is tried
            return HXNOERROR;
        }
        case IOCTL_HXDA_GETSINGLEVALUES: {
            auto& p = request.parameters.singleValues;
            const double gain = GainOf(p.gain);
            const std::uint32_t count =
                std::min<std::uint32_t>(ChannelCount(slot.tables), hxda::kMaxSingleValues);
            for (std::uint32_t channel = 0; channel < count; ++channel)
                p.values[channel] = ReadChannel(device, file, slot, channel, gain);
            return HXNOERROR;
        }
        case IOCTL_HXDA_READEVENTS:
            request.parameters.eventCount.count = file.stream ? file.stream->EventCount() : 0;
            return HXNOERROR;
        default: {
            std::uint32_t status = HXNOERROR;
            if (HandleTransferRequest(device, slot, file, code, &status))
                return status;
            return HXNOTSUPPORTED;
        }
    }
}

std::uint32_t DeviceRequest(BoardDevice& device, ULONG code, DriverRequest& request) {
    SimulatedBoard& board = *device.board;
    switch (code) {
        case IOCTL_HXDA_WRITEREG: {
            const auto& p = request.parameters.registerAccess;
            if (p.registerNumber != kUsbConnectionRegister)  // read only
                board.WriteRegister(p.registerNumber, p.value);
            return HXNOERROR;
        }
        case IOCTL_HXDA_READREG: {
            auto& p = request.parameters.registerAccess;
            if (board.RegisterReadFails(p.registerNumber))
                return HXGENERALFAILURE;
            p.value = p.registerNumber == kUsbConnectionRegister
                          ? kHighSpeed
                          : board.ReadRegister(p.registerNumber);
            return HXNOERROR;
        }
        case IOCTL_HXDA_SETHWINFO: {
            auto& p = request.parameters.hardwareInfo;
            HardwareInfo info = board.ReadHardwareInfo();
            if (p.wordA != 0xFFFF && p.wordB != 0xFFFF && p.wordC != 0xFFFF) {
                info.wordA = p.wordA;
                info.wordB = p.wordB;
                info.wordC = p.wordC;
            }
            if (p.serialNumber != 0xFFFFFFFFu)
                info.serialNumber = p.serialNumber;
            std::memcpy(info.block.data(), p.block, sizeof p.block);
            board.WriteHardwareInfo(info);
            p.trailingWord = 0;
            return HXNOERROR;
        }
        case IOCTL_HXDA_GETHWINFO: {
            auto& p = request.parameters.hardwareInfo;
            const HardwareInfo info = board.ReadHardwareInfo();
            p.leadingWord = 0;
            p.wordA = info.wordA;
            p.wordB = info.wordB;
            p.wordC = info.wordC;
            p.serialNumber = info.serialNumber;
            p.trailingWord = 0;
            std::memcpy(p.block, info.block.data(), sizeof p.block);
            return HXNOERROR;
        }
        case IOCTL_HXDA_WRITECALPOT:
        case IOCTL_HXDA_READCALPOT: {
            auto& p = request.parameters.calPot;
            const auto element = static_cast<std::int32_t>(p.element);
            if (p.potentiometer > 2 || p.selector > 3 || element < -1 || element > 3)
                return HXINVALIDLISTENTRY;
            if (code == IOCTL_HXDA_WRITECALPOT)
                board.WriteCalPot(p.potentiometer, p.selector, element, p.value);
            else
                p.value = board.ReadCalPot(p.potentiometer, p.selector, element);
            return HXNOERROR;
        }
        default:
            return HXNOTSUPPORTED;
    }
}

}  // namespace

CodeFormat FormatOf(const SubsystemSlot& slot, double gain) {
    CodeFormat format;
    format.gain = gain;
    format.bits = slot.tables.resolutionBits != 0 ? slot.tables.resolutionBits : 16;
    format.twosComplement = slot.tables.twosComplement;
    if (slot.tables.hasRange) {
        format.minimum = slot.tables.rangeMinimum;
        format.maximum = slot.tables.rangeMaximum;
    }
    if (slot.configuration.size() >= sizeof(ConfigurationBlock)) {
        ConfigurationBlock block;
        std::memcpy(&block, slot.configuration.data(), sizeof block);
        const double minimum = hxda::decodeFixedPoint(block.rangeMinimum);
        const double maximum = hxda::decodeFixedPoint(block.rangeMaximum);
        if (minimum < maximum) {
            format.minimum = minimum;
            format.maximum = maximum;
        }
        if (block.resolution > 0 && block.resolution <= 32)
            format.bits = block.resolution;
        format.twosComplement = block.encoding == 201;
    }
    return format;
}

NTSTATUS HandleControl(BoardDevice& device, const OpenFile& file, PIRP irp, ULONG* information) {
    const auto& parameters = IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl;
    const ULONG code = parameters.IoControlCode;
    const ULONG inLength = parameters.InputBufferLength;
    const ULONG outLength = parameters.OutputBufferLength;
    auto* buffer = static_cast<std::uint8_t*>(irp->AssociatedIrp.SystemBuffer);

    if (code == IOCTL_HXDA_RESERVED)
        return STATUS_SUCCESS;
    if (code == IOCTL_HXDA_FLUSHINPROCESS) {
        if (!file.subsystem || inLength != hxda::kDriverRequestSize || buffer == nullptr)
            return STATUS_INVALID_PARAMETER;
        void* output = irp->MdlAddress != nullptr
                           ? MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority)
                           : nullptr;
        *information = FlushInProcess(file, output, outLength);
        return STATUS_SUCCESS;
    }
    if (!IsDeviceRequest(code) && !file.subsystem)
        return STATUS_INVALID_DEVICE_REQUEST;  // a subsystem request on the board's device

    if (code == IOCTL_HXDA_CONFIG) {
        if (inLength < hxda::kConfigurationBlockBaseSize || outLength != inLength ||
            buffer == nullptr)
            return STATUS_INVALID_PARAMETER;
        std::lock_guard lock(device.mutex);
        auto slot = device.slots.find({file.type, file.element});
        if (slot == device.slots.end())
            return STATUS_INVALID_DEVICE_REQUEST;
        const std::uint32_t status = Configure(slot->second, file, buffer, inLength);
        if (status != HXNOERROR)
            std::memcpy(buffer + offsetof(ConfigurationBlock, status), &status, sizeof status);
        *information = outLength;
        return STATUS_SUCCESS;
    }

    if (inLength != hxda::kDriverRequestSize || outLength != hxda::kDriverRequestSize ||
        buffer == nullptr)
        return STATUS_INVALID_PARAMETER;
    DriverRequest request;
    std::memcpy(&request, buffer, sizeof request);
    if (IsDeviceRequest(code)) {
        request.status = DeviceRequest(device, code, request);
    } else {
        std::lock_guard lock(device.mutex);
        auto slot = device.slots.find({file.type, file.element});
        if (slot == device.slots.end())
            return STATUS_INVALID_DEVICE_REQUEST;
        request.status = SubsystemRequest(device, file, slot->second, code, request);
    }
    std::memcpy(buffer, &request, sizeof request);
    *information = sizeof request;
    return STATUS_SUCCESS;
}

}  // namespace sim
