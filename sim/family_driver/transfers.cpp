// Transfers: reads and event requests go to the open file's stream, and the start/stop family
// starts it with what the configuration holds (clock, channel list, resolution, wrap mode).
#include <cstring>

#include "board_device.h"
#include "hxda/protocol.h"
#include "hxda/request_codes.h"
#include "hxdacodes.h"

namespace sim {
namespace {

NTSTATUS Refuse(PIRP irp, NTSTATUS status) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

bool StreamsData(std::uint32_t type) {
    return type == HXSS_AD || type == HXSS_DA || type == HXSS_DIN || type == HXSS_DOUT;
}

// The transfer's settings from the configured block; false when nothing is configured.
bool SettingsOf(const SubsystemSlot& slot, const OpenFile& file, SimulatedBoard& board,
                StreamSettings* settings) {
    const auto& bytes = slot.configuration;
    if (bytes.size() < hxda::kConfigurationBlockBaseSize)
        return false;
    hxda::ConfigurationBlock block;
    std::memcpy(&block, bytes.data(), sizeof block);
    settings->input = file.type == HXSS_AD || file.type == HXSS_DIN || file.type == HXSS_CT;
    settings->counter = file.type == HXSS_CT;
    settings->wrapMode = block.wrapMode;
    settings->dataFlow = block.dataFlow;
    const double rate = block.clockFrequencyForm == 1
                            ? static_cast<double>(block.clockFrequencyFloat)
                            : hxda::decodeFixedPoint(block.clockFrequency);
    settings->rate = rate > 0.0 ? rate : 1000.0;
    const std::uint32_t bits = block.resolution != 0 ? block.resolution : 16;
    settings->width = bits <= 8 ? 1 : bits > 16 ? 4 : 2;
    if (settings->counter) {
        settings->counterMode = block.counterMode;
        settings->baseClock = block.baseClock;
        // The counter counts the rising edges of its input.
        const auto& signals = board.description().signals;
        auto found = signals.find({file.type, file.element, 0});
        settings->eventFrequency =
            found != signals.end() && (found->second.kind == Signal::Kind::kSquare ||
                                       found->second.kind == Signal::Kind::kSine)
                ? found->second.frequency
                : 0.0;
        return true;
    }
    const std::uint32_t entries = block.channelListSize;
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::size_t at = hxda::kListEntriesOffset + hxda::kListEntrySize * i;
        if (at + sizeof(hxda::ChannelListEntry) > bytes.size())
            break;
        hxda::ChannelListEntry entry;
        std::memcpy(&entry, bytes.data() + at, sizeof entry);
        const double gain = hxda::decodeFixedPoint(entry.gain);
        settings->channels.push_back({file.type, file.element, entry.channel});
        settings->formats.push_back(FormatOf(slot, gain > 0.0 ? gain : 1.0));
    }
    if (settings->channels.empty()) {
        settings->channels.push_back({file.type, file.element, 0});
        settings->formats.push_back(FormatOf(slot, 1.0));
    }
    return true;
}

}  // namespace

NTSTATUS HandleRead(BoardDevice&, const OpenFile& file, PIRP irp) {
    if (!file.subsystem || !file.stream || !StreamsData(file.type))
        return Refuse(irp, STATUS_INVALID_DEVICE_REQUEST);
    return file.stream->QueueRead(irp);
}

NTSTATUS HandleWaitEvent(BoardDevice&, const OpenFile& file, PIRP irp) {
    if (!file.subsystem || !file.stream)
        return Refuse(irp, STATUS_INVALID_DEVICE_REQUEST);
    return file.stream->QueueWait(irp);
}

bool HandleTransferRequest(BoardDevice& device, const SubsystemSlot& slot, const OpenFile& file,
                           ULONG code, std::uint32_t* status) {
    if (!file.stream)
        return false;
    SubsystemStream& stream = *file.stream;
    switch (code) {
        case IOCTL_HXDA_START:
        case IOCTL_HXDA_PRESTART: {
            StreamSettings settings;
            if (!SettingsOf(slot, file, *device.board, &settings)) {
                *status = HXNOTCONFIGURED;
                return true;
            }
            *status = stream.Start(settings, code == IOCTL_HXDA_PRESTART);
            return true;
        }
        case IOCTL_HXDA_SIMULSTART:
            *status = stream.SimultaneousStart();
            return true;
        case IOCTL_HXDA_STOP:
            *status = stream.Stop();
            return true;
        case IOCTL_HXDA_ABORT:
            *status = stream.Abort();
            return true;
        case IOCTL_HXDA_RESET:
            *status = stream.Reset();
            return true;
        case IOCTL_HXDA_PAUSE:
            *status = stream.Pause();
            return true;
        case IOCTL_HXDA_CONTINUE:
            *status = stream.Continue();
            return true;
        default:
            return false;
    }
}

ULONG FlushInProcess(const OpenFile& file, void* output, ULONG length) {
    return file.stream ? file.stream->Flush(output, length) : 0;
}

}  // namespace sim
