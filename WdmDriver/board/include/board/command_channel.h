// `CommandChannel`: the board's command protocol on the command pipe (0x01) and the reply pipe
// (0x81). A write sends one 512-byte message; a read is a transaction that sends the message and
// reads the 512-byte reply into the same buffer. One transaction runs at a time per device: the
// channel's mutex is held from the send to the end of the reply, so that a reply always belongs to
// the message before it.
//
// Every call sends synchronously and runs below DISPATCH_LEVEL. A reply that does not come within
// the reply time-out is cancelled and the transaction answers STATUS_IO_TIMEOUT, so that a board
// that stopped answering does not hold the channel for ever.
#pragma once

#include <atomic>

#include "board/command_message.h"
#include "framework/kernel_sync.h"
#include "framework/usb_target.h"

namespace board {

// What command 0x11 carries: three words whose meaning is the board's.
struct HardwareWords {
    USHORT a = 0;
    USHORT b = 0;
    USHORT c = 0;
};

class CommandChannel {
  public:
    static constexpr ULONG kDefaultReplyTimeoutMs = 5000;

    // The pipes stay the owner's; they must be bound while commands are sent.
    CommandChannel(wdm::UsbTarget& target, const wdm::UsbPipe& command, const wdm::UsbPipe& reply,
                   ULONG replyTimeoutMs = kDefaultReplyTimeoutMs);
    CommandChannel(const CommandChannel&) = delete;
    CommandChannel& operator=(const CommandChannel&) = delete;

    // ---- Messages ------------------------------------------------------------------------------
    // Sends the message; a read message also takes its reply into the same buffer.
    NTSTATUS Execute(CommandMessage& message);
    // Commands in progress on this channel (sent and not yet finished).
    LONG InProgress() const { return inProgress_.load(); }

    // ---- Registers -----------------------------------------------------------------------------
    NTSTATUS ReadRegister(USHORT reg, USHORT* value);
    NTSTATUS WriteRegister(USHORT reg, USHORT value);
    // The bits of mask take value's bits; the others keep theirs.
    NTSTATUS WriteMasked(USHORT reg, USHORT value, USHORT mask);
    // Writes the pairs in order, at most 60 to a message.
    NTSTATUS WriteList(const RegisterPair* pairs, ULONG count);
    // Reads count registers (at most kMaxListReads) in one message.
    NTSTATUS ReadList(const USHORT* registers, ULONG count, USHORT* values);
    // Two registers as one value, the low register first (counter values).
    NTSTATUS ReadU32(USHORT lowRegister, USHORT highRegister, ULONG* value);

    // ---- Stored settings -----------------------------------------------------------------------
    NTSTATUS ReadHardwareWords(HardwareWords* words);
    NTSTATUS WriteHardwareWords(const HardwareWords& words);
    NTSTATUS ReadSerialNumber(ULONG* serial);
    NTSTATUS WriteSerialNumber(ULONG serial);
    NTSTATUS ReadTermination(UCHAR* setting);
    // Applies the setting (0x59) without storing it.
    NTSTATUS ApplyTermination(UCHAR setting);
    // Applies the setting (0x59), then stores it (0x25).
    NTSTATUS WriteTermination(UCHAR setting);
    NTSTATUS ReadDinChangeMask(UCHAR* mask);
    NTSTATUS WriteDinChangeMask(UCHAR mask);
    NTSTATUS ClearDataToggle();

    // ---- Converters ----------------------------------------------------------------------------
    NTSTATUS ReadAdSingle(UCHAR channel, UCHAR gainCode, USHORT* code);
    // Programs the transfer logic and then the A/D transfer size in bytes.
    NTSTATUS SetAdTransferSize(ULONG bytes);
    // byte 2: 1 when first is false; byte 3 bit 0: set when second is false.
    NTSTATUS AdStart(bool first, bool second);
    NTSTATUS AdStop();
    NTSTATUS DaArm(ULONG samples);
    NTSTATUS DaArmWords(ULONG value);
    NTSTATUS DaAbort(bool flag);
    NTSTATUS DaSingle(USHORT value, USHORT argument);
    NTSTATUS DaSingleOther(USHORT value);

  private:
    NTSTATUS Transfer(const wdm::UsbPipe& pipe, UCHAR* buffer, bool in, ULONG timeoutMs);

    wdm::UsbTarget& target_;
    const wdm::UsbPipe& command_;
    const wdm::UsbPipe& reply_;
    ULONG replyTimeoutMs_;
    wdm::KernelMutex mutex_{2};
    std::atomic<LONG> inProgress_{0};
};

}  // namespace board
