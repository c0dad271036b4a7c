// A simulated board as the machine's board list describes it: its family, board type, serial
// number and the signals on its channels.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim {

// The four families, by the name their driver registers (and their extension module's name).
enum class Family { kMq5120, kMq5200, kMq5130, kMq5310 };

// "MQ5120", "Mq5200", "Mq5130", "MQ5310".
const char* DriverNameOf(Family family);
// The family of a name, compared without regard to case; false for an unknown name.
bool FamilyFromName(const std::string& name, Family* family);

// What a channel carries. Volts kinds are converted to codes by the subsystem's range, resolution
// and encoding; a pattern gives codes directly, one per read, cycling. The wire kinds connect an
// input of a board to one of its own outputs: an analog output (DA0.<m>), the digital output port
// (DOUT0.0), a counter's output (CT0.<m>).
struct Signal {
    enum class Kind {
        kConstant,
        kSine,
        kSquare,
        kPattern,
        kAnalogOutput,
        kDigitalOutput,
        kCounter
    };
    Kind kind = Kind::kConstant;
    double volts = 0.0;                // constant: the level; sine and square: the amplitude
    double frequency = 0.0;            // sine and square, Hz
    double offset = 0.0;               // sine and square: the centre level
    std::vector<std::uint32_t> codes;  // pattern
    std::uint32_t source = 0;          // wires: the output's channel (or counter)
    bool IsWire() const {
        return kind == Kind::kAnalogOutput || kind == Kind::kDigitalOutput ||
               kind == Kind::kCounter;
    }
    bool operator==(const Signal&) const = default;
};

// Subsystem types of a channel key, and the counters' gate inputs, which the board list names
// GATE<element>.<counter>.
inline constexpr std::uint32_t kChannelAnalogInput = 0;
inline constexpr std::uint32_t kChannelAnalogOutput = 1;
inline constexpr std::uint32_t kChannelDigitalInput = 2;
inline constexpr std::uint32_t kChannelDigitalOutput = 3;
inline constexpr std::uint32_t kChannelCounter = 5;
inline constexpr std::uint32_t kChannelGate = 6;

// Subsystem type (0 A/D ... 5 C/T, 6 a counter's gate), element and channel.
struct ChannelKey {
    std::uint32_t type = 0;
    std::uint32_t element = 0;
    std::uint32_t channel = 0;
    auto operator<=>(const ChannelKey&) const = default;
};

struct BoardDescription {
    Family family = Family::kMq5120;
    std::uint32_t boardType = 0;
    std::uint32_t serialNumber = 0;
    std::map<ChannelKey, Signal> signals;
    bool unpaced = false;  // input streams fill each read at once, ignoring the clock
    bool operator==(const BoardDescription&) const = default;
};

// The board of a machine without a board list: the full 16-bit MQ5120, type 4, serial number 1.
BoardDescription DefaultBoard();

// The level of a volts signal at a time (seconds since the machine booted).
double VoltsAt(const Signal& signal, double seconds);

}  // namespace sim
