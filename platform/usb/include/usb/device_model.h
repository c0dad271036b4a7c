// The device behind a bus port, as the bus sees it: descriptors, OUT data taken, IN data offered.
//
// The bus calls a model from its port thread (and from the submitting thread for descriptor and
// configuration requests), never two calls at once for one model. A model must not call back into
// the bus from these calls except DevicePort::Wake. When IN data or OUT room appears outside a
// call (a test hook), the model calls Wake so that waiting transfers are tried again; what appears
// as time passes it announces through RetryAfter, so that the port's thread sleeps until then.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace usb {

// Transfer faults, with the status pairs a driver tells apart. The bus injects them into the next
// transfer(s) of an endpoint (Bus::InjectFault; endpoint 0 stands for the default control pipe of
// descriptor requests), and a model may end an IN transfer with one (InResult::fault).
enum class Fault {
    TransactionError,  // STATUS_UNSUCCESSFUL, USBD_STATUS_XACT_ERROR
    Stall,             // STATUS_UNSUCCESSFUL, USBD_STATUS_STALL_PID; the pipe is halted
                       // (USBD_STATUS_ENDPOINT_HALTED) until RESET_PIPE
    DataError,         // STATUS_DEVICE_DATA_ERROR, USBD_STATUS_DEV_NOT_RESPONDING
    Removed,           // STATUS_DEVICE_NOT_CONNECTED, USBD_STATUS_DEVICE_GONE
    NeverAnswer,       // the transfer stays pending (and blocks its pipe) until cancelled;
                       // not for endpoint 0, whose requests are answered at once
    ZeroLength,        // an IN transfer completes with success and 0 bytes
};

// What a model's IN call produced.
struct InResult {
    std::size_t bytes = 0;  // bytes written at the start of the room: whole packets, unless ended
    bool ended = false;     // a short (or zero-length) packet ended the transfer
    std::optional<Fault> fault;  // the transfer ends with this fault instead (bytes are dropped)
};

enum class OutResult {
    Taken,  // every byte was taken: the transfer completes
    Held,   // not now (flow control): the transfer stays pending until a later try takes it
};

// The bus side of a connection, handed to the model while it is plugged in.
class DevicePort {
  public:
    virtual ~DevicePort() = default;
    // Asks the bus to try the pending transfers again. Cheap and callable from any thread.
    virtual void Wake() = 0;
};

class DeviceModel {
  public:
    virtual ~DeviceModel() = default;

    virtual std::vector<std::uint8_t> DeviceDescriptor() = 0;
    // Configuration descriptor set by index (with its interfaces and endpoints); empty when the
    // device has no such configuration.
    virtual std::vector<std::uint8_t> ConfigurationDescriptor(std::uint8_t index) = 0;

    // The port while plugged in; nullptr at unplug.
    virtual void Connected(DevicePort* port) { (void)port; }
    // A configuration value was selected; 0 = deselected.
    virtual void ConfigurationSelected(std::uint8_t value) { (void)value; }
    virtual void PipeReset(std::uint8_t endpoint) { (void)endpoint; }
    virtual void PipeAborted(std::uint8_t endpoint) { (void)endpoint; }

    // An IN transfer asks for data: write up to room.size() bytes. Return 0 bytes and not ended
    // when nothing is ready (the host retries later).
    virtual InResult In(std::uint8_t endpoint, std::span<std::uint8_t> room,
                        std::uint16_t maxPacketSize) = 0;
    // An OUT transfer offers its whole data (one transfer = one message).
    virtual OutResult Out(std::uint8_t endpoint, std::span<const std::uint8_t> data) = 0;

    // A transfer of the endpoint still waits after a try: an IN transfer for `wanted` more bytes,
    // or an OUT transfer of `wanted` bytes that was held. How long, on the stand-ins' clock
    // (simclock/clock.h), until time alone may let a retry move it on: data or room that appears
    // as time passes, or (on an endpoint that reports status) a message due by then. The port's
    // thread sleeps until the earliest such time of its waiting transfers, or until a Wake. None
    // (the default): time alone changes nothing. A time that proves early only costs a retry.
    virtual std::optional<std::chrono::nanoseconds> RetryAfter(std::uint8_t endpoint,
                                                               std::size_t wanted) {
        (void)endpoint;
        (void)wanted;
        return std::nullopt;
    }
};

}  // namespace usb
