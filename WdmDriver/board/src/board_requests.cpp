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
constexpr ULONG kUnchangedSerial = 0xFFFFFFFF;
constexpr USHORT kUnchangedWord = 0xFFFF;
constexpr ULONG kMaxPot = 2;
constexpr ULONG kMaxPotChannel = 3;
constexpr ULONG kMaxPotElement = 3;
constexpr ULONG kAllPotElements = 0xFFFFFFFF;  // -1
constexpr ULONG kRawCommandShift = 8;
constexpr USHORT kRawValueBits = 0x00FF;
// Word 2 of the raw count command: many, or one.
constexpr USHORT kRawCountMany = 256;
constexpr USHORT kRawCountOne = 1;

}  // namespace

hxda::ApiStatus BoardDevice::SetHardwareInfo(dalayer::DaRequest& request) {
    hxda::HardwareInfoParameters& info = request.Record().parameters.hardwareInfo;
    NTSTATUS status = STATUS_SUCCESS;
    if (info.wordA != kUnchangedWord && info.wordB != kUnchangedWord &&
        info.wordC != kUnchangedWord)
        status = channel_.WriteHardwareWords({info.wordA, info.wordB, info.wordC});
    if (NT_SUCCESS(status) && info.serialNumber != kUnchangedSerial)
        status = channel_.WriteSerialNumber(info.serialNumber);
    info.trailingWord = 0;
    return dalayer::TransactionStatus(status);
}

hxda::ApiStatus BoardDevice::GetHardwareInfo(dalayer::DaRequest& request) {
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
    return dalayer::TransactionStatus(status);
}

hxda::ApiStatus BoardDevice::WriteRegister(dalayer::DaRequest& request) {
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
        const auto command = static_cast<UCHAR>(raw >> kRawCommandShift);
        CommandMessage message(command, true);
        message.SetWord(1, static_cast<USHORT>(selector & ~kRawSelector));
        if (command == kCmdRawCount)
            message.SetWord(2, (raw & kRawValueBits) != 0 ? kRawCountMany : kRawCountOne);
        else
            message.SetWord(
                2, static_cast<USHORT>((raw << kRawCommandShift) | (value & kRawValueBits)));
        status = channel_.Execute(message);
    } else {
        status = channel_.WriteRegister(selector, value);
    }
    return dalayer::TransactionStatus(status);
}

hxda::ApiStatus BoardDevice::ReadRegister(dalayer::DaRequest& request) {
    hxda::RegisterParameters& access = request.Record().parameters.registerAccess;
    const auto selector = static_cast<USHORT>(access.registerNumber);
    const auto raw = static_cast<USHORT>(access.size);
    if (selector & kSpecialSelector) {
        const auto special = static_cast<USHORT>(selector & ~kSpecialSelector);
        UCHAR setting = 0;
        switch (special) {
            // The stored settings read as erased storage when they cannot be read: the
            // advanced-settings dialogs show that as the default.
            case kSpecialTermination:
                access.value = NT_SUCCESS(channel_.ReadTermination(&setting))
                                   ? setting
                                   : kStoredSettingUnreadable;
                return HXNOERROR;
            case kSpecialDinMask:
                access.value = NT_SUCCESS(channel_.ReadDinChangeMask(&setting))
                                   ? setting
                                   : kStoredSettingUnreadable;
                return HXNOERROR;
            case kSpecialHighSpeed:
                if (ad_.Bound() && ad_.MaximumPacketSize() == kHighSpeedPacket)
                    access.value = 1;
                else if (ad_.Bound() && ad_.MaximumPacketSize() == kFullSpeedPacket)
                    access.value = 0;
                return HXNOERROR;
            default: {
                CommandMessage message(0, false);
                message.SetWord(0, special);
                message.SetWord(1, static_cast<USHORT>(access.value));
                message.SetWord(2, raw);
                // A failed read has no value: the record keeps what it held.
                if (!NT_SUCCESS(channel_.Execute(message)))
                    return HXGENERALFAILURE;
                access.value = message.Word(1);
                access.size = message.Word(2);
                return HXNOERROR;
            }
        }
    }
    if (selector & kRawSelector) {
        CommandMessage message(static_cast<UCHAR>(raw >> kRawCommandShift), false);
        message.SetWord(1, static_cast<USHORT>(selector & ~kRawSelector));
        message.SetWord(2, static_cast<USHORT>(raw << kRawCommandShift));
        if (!NT_SUCCESS(channel_.Execute(message)))
            return HXGENERALFAILURE;
        access.value = message.Word(1);
        return HXNOERROR;
    }
    USHORT value = 0;
    if (!NT_SUCCESS(channel_.ReadRegister(selector, &value)))
        return HXGENERALFAILURE;
    access.value = value;
    return HXNOERROR;
}

hxda::ApiStatus BoardDevice::CalPotCommand(const hxda::CalPotParameters& pot, UCHAR* code,
                                           USHORT* element) {
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

hxda::ApiStatus BoardDevice::WriteCalPot(dalayer::DaRequest& request) {
    const hxda::CalPotParameters& pot = request.Record().parameters.calPot;
    UCHAR code = 0;
    USHORT element = 0;
    if (const hxda::ApiStatus refused = CalPotCommand(pot, &code, &element); refused != HXNOERROR)
        return refused;
    CommandMessage message(code, true);
    message.SetWord(1, static_cast<USHORT>(pot.potentiometer));
    message.SetWord(2, static_cast<USHORT>(pot.selector));
    message.SetWord(3, element);
    message.SetWord(4, static_cast<USHORT>(pot.value));
    return dalayer::TransactionStatus(channel_.Execute(message));
}

hxda::ApiStatus BoardDevice::ReadCalPot(dalayer::DaRequest& request) {
    hxda::CalPotParameters& pot = request.Record().parameters.calPot;
    UCHAR code = 0;
    USHORT element = 0;
    if (const hxda::ApiStatus refused = CalPotCommand(pot, &code, &element); refused != HXNOERROR)
        return refused;
    CommandMessage message(code, false);
    message.SetWord(1, static_cast<USHORT>(pot.potentiometer));
    message.SetWord(2, static_cast<USHORT>(pot.selector));
    message.SetWord(3, element);
    // A failed read delivers no value.
    if (!NT_SUCCESS(channel_.Execute(message)))
        return HXGENERALFAILURE;
    pot.value = message.Word(4);
    return HXNOERROR;
}

}  // namespace board
