// `CommandMessage`: one 512-byte message of the board's command protocol, little-endian. Byte 0 is
// the command code, byte 1 is 1 for a write and 0 for a read; the parameters follow. Words are
// numbered from the start of the message, so word 1 is bytes 2-3. The codes and registers are
// those of board/protocol.h.
#pragma once

#include <cstring>

#include "board/protocol.h"
#include "kernel/wdm.h"

namespace board {

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
