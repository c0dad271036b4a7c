#include "board/command_channel.h"

#include "dalayer/trace.h"

namespace board {

namespace {

// The transfer logic's program that precedes a new A/D transfer size; 385 := 0x4002 also clears
// the A/D FIFO.
constexpr RegisterPair kTransferLogicProgram[] = {
    {kRegTransferLogic0, kTransferLogicSetup},
    {kRegTransferLogic1, kTransferLogicClear},
    {kRegTransferLogic2, kTransferLogicStart},
    {kRegTransferLogic0, kTransferLogicIdle},
};

// Counts a command from its send to its end.
class InProgressCount {
  public:
    explicit InProgressCount(std::atomic<LONG>& count) : count_(count) { ++count_; }
    ~InProgressCount() { --count_; }
    InProgressCount(const InProgressCount&) = delete;
    InProgressCount& operator=(const InProgressCount&) = delete;

  private:
    std::atomic<LONG>& count_;
};

}  // namespace

CommandChannel::CommandChannel(wdm::UsbTarget& target, const wdm::UsbPipe& command,
                               const wdm::UsbPipe& reply, ULONG replyTimeoutMs)
    : target_(target), command_(command), reply_(reply), replyTimeoutMs_(replyTimeoutMs) {}

NTSTATUS CommandChannel::Transfer(const wdm::UsbPipe& pipe, UCHAR* buffer, bool in,
                                  ULONG timeoutMs) {
    if (!pipe.Bound())
        return STATUS_DEVICE_NOT_CONNECTED;
    URB urb;
    wdm::UsbTarget::BuildTransferUrb(pipe, buffer, kMessageSize, in, false, nullptr, &urb);
    const NTSTATUS status = target_.SubmitUrb(&urb, timeoutMs);
    // An expired wait is a failure of the command, not the success code the wait answers.
    if (status == STATUS_TIMEOUT)
        return STATUS_IO_TIMEOUT;
    if (NT_SUCCESS(status) && urb.UrbBulkOrInterruptTransfer.TransferBufferLength != kMessageSize)
        return STATUS_DEVICE_DATA_ERROR;
    return status;
}

NTSTATUS CommandChannel::Execute(CommandMessage& message) {
    InProgressCount counted(inProgress_);
    wdm::MutexHold hold(mutex_);
    NTSTATUS status = Transfer(command_, message.bytes, false, 0);
    UCHAR failing = kEndpointCommand;
    if (NT_SUCCESS(status) && !message.IsWrite()) {
        failing = kEndpointReply;
        status = Transfer(reply_, message.bytes, true, replyTimeoutMs_);
    }
    if (!NT_SUCCESS(status))
        MQ5120K_TRACE("command 0x%02X (%s, word 1 0x%04X) failed on pipe 0x%02X: 0x%08X",
                      message.bytes[0], message.IsWrite() ? "write" : "read", message.Word(1),
                      failing, static_cast<ULONG>(status));
    return status;
}

// ---- Registers ---------------------------------------------------------------------------------

NTSTATUS CommandChannel::ReadRegister(USHORT reg, USHORT* value) {
    CommandMessage m(kCmdRegister, false);
    m.SetWord(1, reg);
    const NTSTATUS status = Execute(m);
    if (NT_SUCCESS(status))
        *value = m.Word(1);
    return status;
}

NTSTATUS CommandChannel::WriteRegister(USHORT reg, USHORT value) {
    CommandMessage m(kCmdRegister, true);
    m.SetWord(1, reg);
    m.SetWord(2, value);
    return Execute(m);
}

NTSTATUS CommandChannel::WriteMasked(USHORT reg, USHORT value, USHORT mask) {
    CommandMessage m(kCmdRegisterMasked, true);
    m.SetWord(1, reg);
    m.SetWord(2, value);
    m.SetWord(3, static_cast<USHORT>(~mask));
    return Execute(m);
}

NTSTATUS CommandChannel::WriteList(const RegisterPair* pairs, ULONG count) {
    for (ULONG done = 0; done < count;) {
        const ULONG n = count - done < kMaxListPairs ? count - done : kMaxListPairs;
        CommandMessage m(kCmdRegisterList, true);
        m.SetWord(1, static_cast<USHORT>(4 * n));
        for (ULONG i = 0; i < n; ++i) {
            m.SetWord(2 + 2 * i, pairs[done + i].reg);
            m.SetWord(3 + 2 * i, pairs[done + i].value);
        }
        const NTSTATUS status = Execute(m);
        if (!NT_SUCCESS(status))
            return status;
        done += n;
    }
    return STATUS_SUCCESS;
}

NTSTATUS CommandChannel::ReadList(const USHORT* registers, ULONG count, USHORT* values) {
    if (count == 0 || count > kMaxListReads)
        return STATUS_INVALID_PARAMETER;
    CommandMessage m(kCmdRegisterList, false);
    m.SetWord(1, static_cast<USHORT>(2 * count));
    for (ULONG i = 0; i < count; ++i)
        m.SetWord(2 + i, registers[i]);
    const NTSTATUS status = Execute(m);
    if (NT_SUCCESS(status))
        for (ULONG i = 0; i < count; ++i)
            values[i] = m.Word(2 + i);
    return status;
}

NTSTATUS CommandChannel::ReadU32(USHORT lowRegister, USHORT highRegister, ULONG* value) {
    const USHORT registers[2] = {lowRegister, highRegister};
    USHORT values[2] = {};
    const NTSTATUS status = ReadList(registers, 2, values);
    if (NT_SUCCESS(status))
        *value = static_cast<ULONG>(values[0]) | (static_cast<ULONG>(values[1]) << 16);
    return status;
}

// ---- Stored settings ---------------------------------------------------------------------------

NTSTATUS CommandChannel::ReadHardwareWords(HardwareWords* words) {
    CommandMessage m(kCmdHardwareInfo, false);
    const NTSTATUS status = Execute(m);
    if (NT_SUCCESS(status)) {
        words->a = static_cast<USHORT>(m.bytes[3] | (m.bytes[4] << 8));
        words->c = static_cast<USHORT>(m.bytes[5] | (m.bytes[6] << 8));
        words->b = static_cast<USHORT>(m.bytes[7] | (m.bytes[8] << 8));
    }
    return status;
}

NTSTATUS CommandChannel::WriteHardwareWords(const HardwareWords& words) {
    CommandMessage m(kCmdHardwareInfo, true);
    m.bytes[2] = (words.a != 0 || words.b != 0 || words.c != 0) ? kHardwareWordsPresent : 0;
    const USHORT ordered[3] = {words.a, words.c, words.b};
    for (ULONG i = 0; i < 3; ++i) {
        m.bytes[3 + 2 * i] = static_cast<UCHAR>(ordered[i]);
        m.bytes[4 + 2 * i] = static_cast<UCHAR>(ordered[i] >> 8);
    }
    return Execute(m);
}

NTSTATUS CommandChannel::ReadSerialNumber(ULONG* serial) {
    CommandMessage m(kCmdSerialNumber, false);
    const NTSTATUS status = Execute(m);
    if (NT_SUCCESS(status))
        *serial = m.U32At(2);
    return status;
}

NTSTATUS CommandChannel::WriteSerialNumber(ULONG serial) {
    CommandMessage m(kCmdSerialNumber, true);
    m.SetU32At(2, serial);
    return Execute(m);
}

NTSTATUS CommandChannel::ReadTermination(UCHAR* setting) {
    CommandMessage m(kCmdTermination, false);
    const NTSTATUS status = Execute(m);
    if (NT_SUCCESS(status))
        *setting = m.bytes[2];
    return status;
}

NTSTATUS CommandChannel::ApplyTermination(UCHAR setting) {
    CommandMessage apply(kCmdApplyTermination, true);
    apply.bytes[2] = setting;
    return Execute(apply);
}

NTSTATUS CommandChannel::WriteTermination(UCHAR setting) {
    const NTSTATUS status = ApplyTermination(setting);
    if (!NT_SUCCESS(status))
        return status;
    CommandMessage store(kCmdTermination, true);
    store.bytes[2] = setting;
    return Execute(store);
}

NTSTATUS CommandChannel::ReadDinChangeMask(UCHAR* mask) {
    CommandMessage m(kCmdDinMask, false);
    const NTSTATUS status = Execute(m);
    if (NT_SUCCESS(status))
        *mask = m.bytes[2];
    return status;
}

NTSTATUS CommandChannel::WriteDinChangeMask(UCHAR mask) {
    CommandMessage m(kCmdDinMask, true);
    m.bytes[2] = mask;
    return Execute(m);
}

NTSTATUS CommandChannel::ClearDataToggle() {
    CommandMessage m(kCmdClearDataToggle, true);
    return Execute(m);
}

// ---- Converters --------------------------------------------------------------------------------

NTSTATUS CommandChannel::ReadAdSingle(UCHAR channel, UCHAR gainCode, USHORT* code) {
    CommandMessage m(kCmdAdSingle, false);
    m.bytes[2] = channel;
    m.bytes[3] = gainCode;
    const NTSTATUS status = Execute(m);
    if (NT_SUCCESS(status))
        *code = m.Word(1);
    return status;
}

NTSTATUS CommandChannel::SetAdTransferSize(ULONG bytes) {
    NTSTATUS status = WriteList(kTransferLogicProgram, std::size(kTransferLogicProgram));
    if (!NT_SUCCESS(status))
        return status;
    CommandMessage m(kCmdAdTransferSize, true);
    m.SetU32At(2, bytes);
    return Execute(m);
}

NTSTATUS CommandChannel::AdStart(bool first, bool second) {
    CommandMessage m(kCmdAdStart, true);
    m.bytes[2] = first ? 0 : 1;
    m.bytes[3] = second ? 0 : 1;
    return Execute(m);
}

NTSTATUS CommandChannel::AdStop() {
    CommandMessage m(kCmdAdStop, true);
    m.SetWord(1, 1);
    return Execute(m);
}

NTSTATUS CommandChannel::DaArm(ULONG samples) {
    CommandMessage m(kCmdDaArm, true);
    m.SetU32At(2, samples);
    return Execute(m);
}

NTSTATUS CommandChannel::DaArmWords(ULONG value) {
    CommandMessage m(kCmdDaArmWords, true);
    m.SetWord(1, static_cast<USHORT>(value));
    m.SetWord(2, static_cast<USHORT>(value >> 16));
    return Execute(m);
}

NTSTATUS CommandChannel::DaAbort(bool flag) {
    CommandMessage m(kCmdDaAbort, true);
    m.SetWord(1, flag ? 1 : 0);
    return Execute(m);
}

NTSTATUS CommandChannel::DaSingle(USHORT value, USHORT argument) {
    CommandMessage m(kCmdAnalogOut, true);
    m.SetWord(1, value);
    m.SetWord(2, static_cast<USHORT>(argument & 0xFF));
    return Execute(m);
}

NTSTATUS CommandChannel::DaSingleOther(USHORT value) {
    CommandMessage m(kCmdPotOrByte, true);
    m.SetWord(1, value);
    m.SetWord(2, kByteOutputSelector);
    return Execute(m);
}

}  // namespace board
