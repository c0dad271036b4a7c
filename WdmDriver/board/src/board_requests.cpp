// The device-level requests of the board: hardware information, register access (plain
// registers, stored settings by special selectors, raw commands) and the calibration pots, each
// answered through the command channel.
#include "board/board_device.h"

namespace board {

namespace {

constexpr USHORT kSpecialSelector = 0x4000;
constexpr USHORT kRawSelector = 0x2000;
constexpr USHORT kSpecialTermination = 2;
constexpr USHORT kSpecialDinMask = 4;
constexpr USHORT kSpecialHighSpeed = 6;
constexpr USHORT kSpecialAdTransferSize = 7;
constexpr USHORT kSpecialAbortDaPipe = 0x144;
constexpr USHORT kSpecialResetDaPipe = 0x145;
constexpr UCHAR kRawCommandCount = 0x58;
constexpr ULONG kUnchangedSerial = 0xFFFFFFFF;
constexpr USHORT kUnchangedWord = 0xFFFF;
constexpr ULONG kMaxPot = 2;
constexpr ULONG kMaxPotChannel = 3;
constexpr ULONG kMaxPotElement = 3;
constexpr ULONG kAllPotElements = 0xFFFFFFFF;  // -1

ULONG Result(NTSTATUS status) {
    return NT_SUCCESS(status) ? HXNOERROR : HXGENERALFAILURE;
}

}  // namespace

ULONG BoardDevice::SetHardwareInfo(dalayer::DaRequest& request) {
    hxda::HardwareInfoParameters& info = request.Record().parameters.hardwareInfo;
    NTSTATUS status = STATUS_SUCCESS;
    if (info.wordA != kUnchangedWord && info.wordB != kUnchangedWord &&
        info.wordC != kUnchangedWord)
        status = channel_.WriteHardwareWords({info.wordA, info.wordB, info.wordC});
    if (NT_SUCCESS(status) && info.serialNumber != kUnchangedSerial)
        status = channel_.WriteSerialNumber(info.serialNumber);
    info.trailingWord = 0;
    return Result(status);
}

ULONG BoardDevice::GetHardwareInfo(dalayer::DaRequest& request) {
    hxda::HardwareInfoParameters& info = request.Record().parameters.hardwareInfo;
    info.leadingWord = 0;
    HardwareWords words;
    NTSTATUS status = channel_.ReadHardwareWords(&words);
    if (NT_SUCCESS(status)) {
        info.wordA = words.a;
        info.wordB = words.b;
        info.wordC = words.c;
        ULONG serial = 0;
        status = channel_.ReadSerialNumber(&serial);
        if (NT_SUCCESS(status))
            info.serialNumber = serial;
    }
    info.trailingWord = 0;
    return Result(status);
}

ULONG BoardDevice::WriteRegister(dalayer::DaRequest& request) {
    const hxda::RegisterParameters& access = request.Record().parameters.registerAccess;
    const auto selector = static_cast<USHORT>(access.registerNumber);
    const auto value = static_cast<USHORT>(access.value);
    const auto raw = static_cast<USHORT>(access.size);
    NTSTATUS status;
    if (selector & kSpecialSelector) {
        const auto special = static_cast<USHORT>(selector & ~kSpecialSelector);
        switch (special) {
            case kSpecialTermination:
                status = channel_.WriteTermination(static_cast<UCHAR>(value));
                break;
            case kSpecialDinMask:
                status = channel_.WriteDinChangeMask(static_cast<UCHAR>(value));
                if (NT_SUCCESS(status))
                    status = channel_.WriteRegister(kRegDinChangeMask, value);
                break;
            case kSpecialAdTransferSize:
                status = channel_.SetAdTransferSize(value);
                break;
            case kSpecialAbortDaPipe:
                status = da_.Bound() ? usb_.AbortPipe(da_) : STATUS_DEVICE_NOT_CONNECTED;
                break;
            case kSpecialResetDaPipe:
                status = da_.Bound() ? usb_.ResetPipe(da_) : STATUS_DEVICE_NOT_CONNECTED;
                break;
            default: {
                CommandMessage message(0, false);
                message.SetWord(0, special);
                message.SetWord(1, value);
                message.SetWord(2, raw);
                status = channel_.Execute(message);
                break;
            }
        }
    } else if (selector & kRawSelector) {
        const auto command = static_cast<UCHAR>(raw >> 8);
        CommandMessage message(command, true);
        message.SetWord(1, static_cast<USHORT>(selector & ~kRawSelector));
        if (command == kRawCommandCount)
            message.SetWord(2, (raw & 0xFF) != 0 ? 256 : 1);
        else
            message.SetWord(2, static_cast<USHORT>((raw << 8) | (value & 0xFF)));
        status = channel_.Execute(message);
    } else {
        status = channel_.WriteRegister(selector, value);
    }
    return Result(status);
}

ULONG BoardDevice::ReadRegister(dalayer::DaRequest& request) {
    hxda::RegisterParameters& access = request.Record().parameters.registerAccess;
    const auto selector = static_cast<USHORT>(access.registerNumber);
    const auto raw = static_cast<USHORT>(access.size);
    // A failed read leaves the record as it was, except for the stored settings.
    if (selector & kSpecialSelector) {
        const auto special = static_cast<USHORT>(selector & ~kSpecialSelector);
        UCHAR setting = 0;
        switch (special) {
            case kSpecialTermination:
                access.value = NT_SUCCESS(channel_.ReadTermination(&setting)) ? setting : 255;
                break;
            case kSpecialDinMask:
                access.value = NT_SUCCESS(channel_.ReadDinChangeMask(&setting)) ? setting : 255;
                break;
            case kSpecialHighSpeed:
                if (ad_.Bound() && ad_.MaximumPacketSize() == 512)
                    access.value = 1;
                else if (ad_.Bound() && ad_.MaximumPacketSize() == 64)
                    access.value = 0;
                break;
            default: {
                CommandMessage message(0, false);
                message.SetWord(0, special);
                message.SetWord(1, static_cast<USHORT>(access.value));
                message.SetWord(2, raw);
                if (NT_SUCCESS(channel_.Execute(message))) {
                    access.value = message.Word(1);
                    access.size = message.Word(2);
                }
                break;
            }
        }
    } else if (selector & kRawSelector) {
        CommandMessage message(static_cast<UCHAR>(raw >> 8), false);
        message.SetWord(1, static_cast<USHORT>(selector & ~kRawSelector));
        message.SetWord(2, static_cast<USHORT>(raw << 8));
        if (NT_SUCCESS(channel_.Execute(message)))
            access.value = message.Word(1);
    } else {
        USHORT value = 0;
        if (NT_SUCCESS(channel_.ReadRegister(selector, &value)))
            access.value = value;
    }
    return HXNOERROR;
}

ULONG BoardDevice::CalPotCommand(const hxda::CalPotParameters& pot, UCHAR* code, USHORT* element) {
    if (pot.potentiometer > kMaxPot || pot.selector > kMaxPotChannel)
        return HXINVALIDLISTENTRY;
    if (pot.element == kAllPotElements) {
        *code = kCmdPotOrByte;
        *element = 0;
        return HXNOERROR;
    }
    if (pot.element > kMaxPotElement)
        return HXINVALIDLISTENTRY;
    *code = kCmdPot;
    *element = static_cast<USHORT>(pot.element);
    return HXNOERROR;
}

ULONG BoardDevice::WriteCalPot(dalayer::DaRequest& request) {
    const hxda::CalPotParameters& pot = request.Record().parameters.calPot;
    UCHAR code = 0;
    USHORT element = 0;
    if (const ULONG refused = CalPotCommand(pot, &code, &element); refused != HXNOERROR)
        return refused;
    CommandMessage message(code, true);
    message.SetWord(1, static_cast<USHORT>(pot.potentiometer));
    message.SetWord(2, static_cast<USHORT>(pot.selector));
    message.SetWord(3, element);
    message.SetWord(4, static_cast<USHORT>(pot.value));
    channel_.Execute(message);
    return HXNOERROR;
}

ULONG BoardDevice::ReadCalPot(dalayer::DaRequest& request) {
    hxda::CalPotParameters& pot = request.Record().parameters.calPot;
    UCHAR code = 0;
    USHORT element = 0;
    if (const ULONG refused = CalPotCommand(pot, &code, &element); refused != HXNOERROR)
        return refused;
    CommandMessage message(code, false);
    message.SetWord(1, static_cast<USHORT>(pot.potentiometer));
    message.SetWord(2, static_cast<USHORT>(pot.selector));
    message.SetWord(3, element);
    if (NT_SUCCESS(channel_.Execute(message)))
        pot.value = message.Word(4);
    return HXNOERROR;
}

}  // namespace board
