// `CommandMessage`: one 512-byte message of the board's command protocol, little-endian. Byte 0 is
// the command code, byte 1 is 1 for a write and 0 for a read; the parameters follow. Words are
// numbered from the start of the message, so word 1 is bytes 2-3. The codes and register numbers
// the driver sends are named here.
#pragma once

#include <cstring>

#include "kernel/wdm.h"

namespace board {

inline constexpr ULONG kMessageSize = 512;

enum CommandCode : UCHAR {
    kCmdHardwareInfo = 0x11,
    kCmdSerialNumber = 0x23,
    kCmdTermination = 0x25,
    kCmdRegister = 0x26,
    kCmdRegisterList = 0x27,
    kCmdRegisterMasked = 0x28,
    kCmdDaArmWords = 0x29,
    kCmdDaAbort = 0x2A,
    kCmdAdStart = 0x2B,
    kCmdAdStop = 0x2C,
    kCmdDinMask = 0x2F,
    kCmdDaArm = 0x30,
    kCmdAdTransferSize = 0x31,
    kCmdAnalogOut = 0x32,
    kCmdAdSingle = 0x33,
    kCmdPotOrByte = 0x54,
    kCmdPot = 0x55,
    kCmdApplyTermination = 0x59,
    kCmdClearDataToggle = 0x5B,
};

enum BoardRegister : USHORT {
    kRegAdControl = 0,
    kRegEnable = 1,
    kRegBoardControl = 2,
    kRegStrobes = 3,
    kRegStartStrobes = 4,
    kRegRunEnables = 5,
    kRegBoardType = 32,
    kRegDinChangeMask = 258,
    kRegTransferLogic0 = 384,
    kRegTransferLogic1 = 385,
    kRegTransferLogic2 = 386,
};

// Pairs of a register list write go out at most this many to a message.
inline constexpr ULONG kMaxListPairs = 60;
// Registers of one list read: the reply holds their values from word 2 on.
inline constexpr ULONG kMaxListReads = (kMessageSize - 4) / 2;

struct CommandMessage {
    UCHAR bytes[kMessageSize];

    // A zero-filled message of the code; write: 1 in byte 1.
    CommandMessage(UCHAR code, bool write) {
        std::memset(bytes, 0, sizeof bytes);
        bytes[0] = code;
        bytes[1] = write ? 1 : 0;
    }
    bool IsWrite() const { return bytes[1] != 0; }

    USHORT Word(ULONG n) const {
        return static_cast<USHORT>(bytes[2 * n] | (bytes[2 * n + 1] << 8));
    }
    void SetWord(ULONG n, USHORT value) {
        bytes[2 * n] = static_cast<UCHAR>(value);
        bytes[2 * n + 1] = static_cast<UCHAR>(value >> 8);
    }
    ULONG U32At(ULONG at) const {
        return static_cast<ULONG>(bytes[at]) | (static_cast<ULONG>(bytes[at + 1]) << 8) |
               (static_cast<ULONG>(bytes[at + 2]) << 16) |
               (static_cast<ULONG>(bytes[at + 3]) << 24);
    }
    void SetU32At(ULONG at, ULONG value) {
        for (ULONG i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<UCHAR>(value >> (8 * i));
    }
};

// One register and its value, as register lists carry them.
struct RegisterPair {
    USHORT reg;
    USHORT value;
};

}  // namespace board
