#include "sim/board_description.h"

#include <cctype>
#include <cmath>
#include <numbers>

namespace sim {

const char* DriverNameOf(Family family) {
    switch (family) {
        case Family::kMq5120:
            return "MQ5120";
        case Family::kMq5200:
            return "Mq5200";
        case Family::kMq5130:
            return "Mq5130";
        case Family::kMq5310:
            return "MQ5310";
    }
    return "";
}

bool FamilyFromName(const std::string& name, Family* family) {
    for (Family candidate : {Family::kMq5120, Family::kMq5200, Family::kMq5130, Family::kMq5310}) {
        const std::string known = DriverNameOf(candidate);
        if (known.size() != name.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < known.size() && same; ++i)
            same = std::toupper(static_cast<unsigned char>(known[i])) ==
                   std::toupper(static_cast<unsigned char>(name[i]));
        if (same) {
            *family = candidate;
            return true;
        }
    }
    return false;
}

BoardDescription DefaultBoard() {
    BoardDescription board;
    board.family = Family::kMq5120;
    board.boardType = 4;
    board.serialNumber = 1;
    return board;
}

double VoltsAt(const Signal& signal, double seconds) {
    switch (signal.kind) {
        case Signal::Kind::kConstant:
            return signal.volts;
        case Signal::Kind::kSine:
            return signal.offset +
                   signal.volts * std::sin(2.0 * std::numbers::pi * signal.frequency * seconds);
        case Signal::Kind::kSquare: {
            const double phase =
                signal.frequency * seconds - std::floor(signal.frequency * seconds);
            return signal.offset + (phase < 0.5 ? signal.volts : -signal.volts);
        }
        case Signal::Kind::kPattern:
        case Signal::Kind::kAnalogOutput:
        case Signal::Kind::kDigitalOutput:
        case Signal::Kind::kCounter:
            break;  // codes, or a board's own outputs: no level of their own
    }
    return 0.0;
}

}  // namespace sim
