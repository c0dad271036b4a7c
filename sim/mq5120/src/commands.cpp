// The command and reply protocol (endpoints 0x01 / 0x81) and the registers.
#include <algorithm>
#include <cstring>

#include "board_state.h"

namespace mq5120 {
namespace {

using Message = std::array<std::uint8_t, kMessageSize>;

std::uint16_t Word(const Message& m, std::size_t n) {
    return static_cast<std::uint16_t>(m[2 * n] | (m[2 * n + 1] << 8));
}
void SetWord(Message& m, std::size_t n, std::uint16_t value) {
    m[2 * n] = static_cast<std::uint8_t>(value);
    m[2 * n + 1] = static_cast<std::uint8_t>(value >> 8);
}
std::uint32_t U32At(const Message& m, std::size_t at) {
    return static_cast<std::uint32_t>(m[at]) | (static_cast<std::uint32_t>(m[at + 1]) << 8) |
           (static_cast<std::uint32_t>(m[at + 2]) << 16) |
           (static_cast<std::uint32_t>(m[at + 3]) << 24);
}
void SetU32At(Message& m, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        m[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

void BoardState::HandleCommand(std::span<const std::uint8_t> data) {
    Message m{};  // parameters beyond a short message read as 0
    if (!data.empty())
        std::memcpy(m.data(), data.data(), std::min(data.size(), m.size()));
    commands.push_back({Now(), m});
    const std::uint8_t code = m[0];
    const bool read = m[1] == 0;
    const int askedRegister = Word(m, 1);
    Message r = m;  // the reply: the request with its answer fields filled
    StoredSettings& stored = identity.stored;

    switch (code) {
        case kHardwareInfo:
            if (read) {
                r[3] = static_cast<std::uint8_t>(stored.hardwareA);
                r[4] = static_cast<std::uint8_t>(stored.hardwareA >> 8);
                r[5] = static_cast<std::uint8_t>(stored.hardwareC);
                r[6] = static_cast<std::uint8_t>(stored.hardwareC >> 8);
                r[7] = static_cast<std::uint8_t>(stored.hardwareB);
                r[8] = static_cast<std::uint8_t>(stored.hardwareB >> 8);
                const bool any = stored.hardwareA || stored.hardwareB || stored.hardwareC;
                r[2] = any ? 0xC0 : 0;
            } else {
                stored.hardwareA = static_cast<std::uint16_t>(m[3] | (m[4] << 8));
                stored.hardwareC = static_cast<std::uint16_t>(m[5] | (m[6] << 8));
                stored.hardwareB = static_cast<std::uint16_t>(m[7] | (m[8] << 8));
            }
            break;
        case kSerialNumber:
            if (read)
                SetU32At(r, 2, stored.serialNumber);
            else
                stored.serialNumber = U32At(m, 2);
            break;
        case kTermination:
            if (read)
                r[2] = stored.termination;
            else
                stored.termination = m[2];
            break;
        case kApplyTermination:
            liveTermination = m[2];
            break;
        case kDinMask:
            if (read)
                r[2] = stored.dinChangeMask;
            else
                stored.dinChangeMask = m[2];
            break;
        case kResetToggles:
        case kCalibrationMisc:
            break;
        case kRegister:
            if (read)
                SetWord(r, 1, ReadRegister(Word(m, 1)));
            else
                WriteRegister(Word(m, 1), Word(m, 2));
            break;
        case kRegisterMasked: {
            const std::uint16_t reg = Word(m, 1);
            const auto mask = static_cast<std::uint16_t>(~Word(m, 3));
            const auto value =
                static_cast<std::uint16_t>((registers[reg] & ~mask) | (Word(m, 2) & mask));
            WriteRegister(reg, value);
            break;
        }
        case kRegisterList: {
            const std::size_t bytes = Word(m, 1);
            if (read) {
                std::size_t count = bytes / 2;
                if (bytes % 2 != 0 || count > kMaxReadRegisters) {
                    ++counters.protocolErrors;
                    count = std::min(count, kMaxReadRegisters);
                }
                for (std::size_t i = 0; i < count; ++i)
                    SetWord(r, 2 + i, ReadRegister(Word(m, 2 + i)));
            } else {
                constexpr std::size_t kRoom = (kMessageSize - 4) / 4;
                std::size_t pairs = bytes / 4;
                if (bytes % 4 != 0 || pairs > kMaxListPairs) {
                    ++counters.protocolErrors;
                    pairs = std::min(pairs, kRoom);
                }
                for (std::size_t i = 0; i < pairs; ++i)
                    WriteRegister(Word(m, 2 + 2 * i), Word(m, 3 + 2 * i));
            }
            break;
        }
        case kAdSingle:
            if (read)
                SetWord(r, 1,
                        AnalogCode(m[2] & 0x1F, m[3] & 3, {(Now() - epochNs) * kSignalUnitsPerNs}));
            break;
        case kAdTransferSize: {
            std::uint32_t size = U32At(m, 2) & ~1u;
            transferSize = std::clamp<std::uint32_t>(size, 2, 2 * kAdFifoSamples);
            if (size != transferSize)
                ++counters.protocolErrors;
            break;
        }
        case kAdStart:
            if (m[2] == 1 && identity.HasAnalogInputs() &&
                (registers[kRunEnables] & kRunAd) == kRunAd &&
                (registers[kStrobes] & kStrobeAdRun) != 0)
                AdStart((m[3] & 1) != 0);
            break;
        case kAdStop:
            if (Word(m, 1) == 1)
                AdStop();
            break;
        case kDaArm:
            DaArm(U32At(m, 2));
            break;
        case kDaArmWords:
            DaArm(static_cast<std::uint32_t>(Word(m, 1)) |
                  (static_cast<std::uint32_t>(Word(m, 2)) << 16));
            break;
        case kDaAbort:
            if (Word(m, 1) == 1)
                DaAbort();
            break;
        case kAnalogOut:
            if (!read && Word(m, 2) <= 3)
                SetAnalogOut(Word(m, 2), Word(m, 1), SecondsNow());
            break;
        case kPotOrByteOut: {
            const PotAddress address{Word(m, 1), Word(m, 2), -1};
            if (read) {
                auto it = stored.pots.find(address);
                SetWord(r, 4, it == stored.pots.end() ? 0 : it->second);
            } else if (Word(m, 2) == 3 && Word(m, 3) == 0 && Word(m, 4) == 0) {
                SetDout(static_cast<std::uint8_t>(Word(m, 1)));
            } else {
                stored.pots[address] = Word(m, 4);
            }
            break;
        }
        case kPot: {
            const PotAddress address{Word(m, 1), Word(m, 2), static_cast<std::int16_t>(Word(m, 3))};
            if (read) {
                auto it = stored.pots.find(address);
                SetWord(r, 4, it == stored.pots.end() ? 0 : it->second);
            } else {
                stored.pots[address] = Word(m, 4);
            }
            break;
        }
        default:
            ++counters.unknownCommands;
            r = m;  // a read is answered with the request unchanged
            break;
    }
    if (!read)
        return;
    if (dropNextReply) {
        dropNextReply = false;
        return;
    }
    Reply next;
    next.bytes = r;
    for (auto it = replyFailures.begin(); it != replyFailures.end(); ++it) {
        if (it->command == code && (it->reg < 0 || code != kRegister || it->reg == askedRegister)) {
            next.fault = it->fault;
            if (--it->count <= 0)
                replyFailures.erase(it);
            break;
        }
    }
    reply = next;  // replaces a reply nobody read
    wakeBus = true;
}

usb::InResult BoardState::ReadReply(std::span<std::uint8_t> room) {
    usb::InResult result;
    if (!reply)
        return result;
    if (reply->fault) {
        result.fault = reply->fault;
        reply.reset();
        return result;
    }
    const std::size_t n = std::min(room.size(), kMessageSize - reply->offset);
    if (n > 0)
        std::memcpy(room.data(), reply->bytes.data() + reply->offset, n);
    reply->offset += n;
    result.bytes = n;
    if (reply->offset == kMessageSize)
        reply.reset();
    return result;
}

void BoardState::WriteRegister(std::uint16_t reg, std::uint16_t value) {
    const std::uint16_t old = registers[reg];
    registers[reg] = value;
    writes.push_back({reg, value});
    const auto rising = static_cast<std::uint16_t>(value & ~old);
    const auto falling = static_cast<std::uint16_t>(old & ~value);
    switch (reg) {
        case kStrobes:
            if (rising & kStrobeListReset)
                list.clear();
            if (falling & kStrobeAdRun)
                AdStop();
            if ((rising & kStrobeDaGo) && (registers[kRunEnables] & (1u << 2)))
                DaStart();
            if ((old & kStrobeDaSequence) && !(value & kStrobeDaSequence))
                daRunning = daWaitingTrigger = false;
            break;
        case kRunEnables:
            if ((old & kRunAd) && !(value & kRunAd))
                AdStop();
            if ((old & kRunDa) && !(value & kRunDa))
                daRunning = daWaitingTrigger = false;
            if ((rising & (1u << 2)) && (registers[kStrobes] & kStrobeDaGo))
                DaStart();  // the go strobe was already set: start with the enable
            break;
        case kChannelList:
            if (list.size() < kListCapacity)
                list.push_back(value);
            break;
        case kTransferLogic1:
            if (value & 0x4000)
                AdClearFifo();
            break;
        case kDaControl0:
            if (value & 0x4000)
                DaClear();
            break;
        case kDoutPort:
            if (!(registers[kBoardControl] & kBoardControlDaDrivesDout))
                SetDout(static_cast<std::uint8_t>(value));
            break;
        case kBoardControl:
            // The single-buffer bit counts for a transfer armed and not yet fed.
            if (daArmed && daMemory.empty() && daLoop.empty())
                singleBuffer = (value & kBoardControlSingleBuffer) != 0;
            break;
        default:
            break;
    }
    if (reg == kStartStrobes)
        for (int c = 0; c < 5; ++c)
            if (rising & (1u << (5 + c)))
                CounterLoad(c);
    if (reg >= kCounterBase && reg < kCounterValueBase && (reg - kCounterBase) % 5 == 4)
        CounterModeWritten((reg - kCounterBase) / 5, old, value);
}

std::uint16_t BoardState::ReadRegister(std::uint16_t reg) {
    switch (reg) {
        case kBoardType:
            return identity.boardType;
        case kDinPort:
            return din;
        default:
            break;
    }
    if (reg >= kCounterValueBase && reg < kCounterStatus) {
        // The low word latches the high word, so that one list read of both is consistent.
        CounterUnit& unit = counterUnits[(reg - kCounterValueBase) / 2];
        if ((reg - kCounterValueBase) % 2 == 0) {
            unit.latchedHigh = static_cast<std::uint16_t>(unit.value >> 16);
            return static_cast<std::uint16_t>(unit.value);
        }
        return unit.latchedHigh;
    }
    return registers[reg];
}

}  // namespace mq5120
