// Reading and writing the machine's board list.
#include "sim/board_list.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <utility>

namespace sim {
namespace {

constexpr const char* kWords[7] = {"AD", "DA", "DIN", "DOUT", "SRL", "CT", "GATE"};
constexpr std::uint32_t kWordCount = 7;
constexpr std::uint32_t kAnalogOutputs = 4;
constexpr std::uint32_t kCounters = 5;

bool ParseNumber(std::string_view text, std::uint32_t* value) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty())
        return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value, base);
    return error == std::errc() && end == text.data() + text.size();
}

bool ParseDouble(const std::string& text, double* value) {
    if (text.empty())
        return false;
    std::size_t used = 0;
    try {
        *value = std::stod(text, &used);
    } catch (...) {
        return false;
    }
    return used == text.size() && std::isfinite(*value);
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator))
        parts.push_back(part);
    if (!text.empty() && text.back() == separator)
        parts.emplace_back();
    return parts;
}

bool ParseChannel(const std::string& text, ChannelKey* key) {
    const auto dot = text.find('.');
    if (dot == std::string::npos)
        return false;
    std::string head = text.substr(0, dot);
    for (auto& c : head)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    // The longest word that begins the head ("DIN" before "D...", "DOUT").
    for (std::uint32_t type = 0; type < kWordCount; ++type) {
        const std::string word = kWords[type];
        if (head.size() <= word.size() || head.compare(0, word.size(), word) != 0)
            continue;
        const std::string element = head.substr(word.size());
        if (!std::isdigit(static_cast<unsigned char>(element[0])))
            continue;
        std::uint32_t number = 0;
        if (!ParseNumber(element, &number) || !ParseNumber(text.substr(dot + 1), &key->channel))
            return false;
        key->type = type;
        key->element = number;
        return true;
    }
    return false;
}

bool ParseSignal(const std::string& text, Signal* signal, std::string* why) {
    const auto parts = Split(text, ':');
    if (parts.empty()) {
        *why = "empty signal";
        return false;
    }
    const std::string& kind = parts[0];
    if (kind == "const") {
        signal->kind = Signal::Kind::kConstant;
        if (parts.size() != 2 || !ParseDouble(parts[1], &signal->volts)) {
            *why = "const needs one level in volts";
            return false;
        }
        return true;
    }
    if (kind == "sine" || kind == "square") {
        signal->kind = kind == "sine" ? Signal::Kind::kSine : Signal::Kind::kSquare;
        if (parts.size() < 3 || parts.size() > 4 || !ParseDouble(parts[1], &signal->volts) ||
            !ParseDouble(parts[2], &signal->frequency) || signal->frequency < 0 ||
            (parts.size() == 4 && !ParseDouble(parts[3], &signal->offset))) {
            *why = kind + " needs amplitude:frequency[:offset]";
            return false;
        }
        return true;
    }
    if (kind == "pattern") {
        signal->kind = Signal::Kind::kPattern;
        if (parts.size() != 2) {
            *why = "pattern needs a list of codes";
            return false;
        }
        if (parts[1].empty()) {
            *why = "bad code ''";
            return false;
        }
        for (const auto& code : Split(parts[1], ',')) {
            std::uint32_t value = 0;
            if (!ParseNumber(code, &value)) {
                *why = "bad code '" + code + "'";
                return false;
            }
            signal->codes.push_back(value);
        }
        return true;
    }
    *why = "unknown signal '" + kind + "'";
    return false;
}

// A wire: the output named on the right of "<input>=<output>", checked against the input it
// drives. Not a wire: false with no reason, so that the text is read as a signal.
bool ParseWire(const ChannelKey& input, const std::string& text, Signal* signal, bool* isWire,
               std::string* why) {
    ChannelKey output;
    *isWire = ParseChannel(text, &output);
    if (!*isWire)
        return false;
    const auto name = text;
    if (input.type == kChannelAnalogInput && output.type == kChannelAnalogOutput &&
        output.element == 0 && output.channel < kAnalogOutputs) {
        signal->kind = Signal::Kind::kAnalogOutput;
    } else if (input.type == kChannelDigitalInput && output.type == kChannelDigitalOutput &&
               output.element == 0 && output.channel == 0) {
        signal->kind = Signal::Kind::kDigitalOutput;
    } else if (input.type == kChannelCounter && output.type == kChannelCounter &&
               output.element == 0 && output.channel < kCounters &&
               output.channel != input.channel) {
        signal->kind = Signal::Kind::kCounter;
    } else {
        *why = "'" + name + "' cannot drive that input";
        return false;
    }
    signal->source = output.channel;
    return true;
}

bool ParseLine(const std::string& line, BoardDescription* board, std::string* why) {
    std::istringstream words(line);
    std::string family, type, serial;
    if (!(words >> family >> type >> serial)) {
        *why = "expected <family> <board type> <serial number>";
        return false;
    }
    if (!FamilyFromName(family, &board->family)) {
        *why = "unknown family '" + family + "'";
        return false;
    }
    if (!ParseNumber(type, &board->boardType) || !ParseNumber(serial, &board->serialNumber)) {
        *why = "bad board type or serial number";
        return false;
    }
    std::string item;
    while (words >> item) {
        if (item == "unpaced") {
            board->unpaced = true;
            continue;
        }
        const auto equals = item.find('=');
        ChannelKey key;
        Signal signal;
        if (equals == std::string::npos || !ParseChannel(item.substr(0, equals), &key)) {
            *why = "bad channel in '" + item + "'";
            return false;
        }
        bool isWire = false;
        if (!ParseWire(key, item.substr(equals + 1), &signal, &isWire, why)) {
            if (isWire || !ParseSignal(item.substr(equals + 1), &signal, why))
                return false;
        }
        board->signals[key] = std::move(signal);
    }
    return true;
}

std::string FormatDouble(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

}  // namespace

BoardList ParseBoardList(const std::string& text) {
    BoardList list;
    std::set<std::pair<Family, std::uint32_t>> seen;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        if (const auto hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        if (line.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        BoardDescription board;
        std::string why;
        if (!ParseLine(line, &board, &why)) {
            list.errors.push_back({number, why});
            continue;
        }
        if (!seen.insert({board.family, board.serialNumber}).second) {
            list.errors.push_back({number, "a board of this family and serial number is listed"});
            continue;
        }
        list.boards.push_back(std::move(board));
    }
    return list;
}

BoardList ReadBoardList(const std::filesystem::path& machineDirectory) {
    std::ifstream file(machineDirectory / kBoardListFileName);
    if (!file) {
        BoardList list;
        list.boards.push_back(DefaultBoard());
        return list;
    }
    std::stringstream text;
    text << file.rdbuf();
    return ParseBoardList(text.str());
}

std::string FormatBoard(const BoardDescription& board) {
    std::string line = std::string(DriverNameOf(board.family)) + " " +
                       std::to_string(board.boardType) + " " + std::to_string(board.serialNumber);
    if (board.unpaced)
        line += " unpaced";
    for (const auto& [key, signal] : board.signals) {
        line += " " + std::string(kWords[key.type < kWordCount ? key.type : 0]) +
                std::to_string(key.element) + "." + std::to_string(key.channel) + "=";
        switch (signal.kind) {
            case Signal::Kind::kAnalogOutput:
                line += "DA0." + std::to_string(signal.source);
                break;
            case Signal::Kind::kDigitalOutput:
                line += "DOUT0." + std::to_string(signal.source);
                break;
            case Signal::Kind::kCounter:
                line += "CT0." + std::to_string(signal.source);
                break;
            case Signal::Kind::kConstant:
                line += "const:" + FormatDouble(signal.volts);
                break;
            case Signal::Kind::kSine:
            case Signal::Kind::kSquare:
                line += std::string(signal.kind == Signal::Kind::kSine ? "sine:" : "square:") +
                        FormatDouble(signal.volts) + ":" + FormatDouble(signal.frequency) + ":" +
                        FormatDouble(signal.offset);
                break;
            case Signal::Kind::kPattern: {
                line += "pattern:";
                for (std::size_t i = 0; i < signal.codes.size(); ++i)
                    line += (i ? "," : "") + std::to_string(signal.codes[i]);
                break;
            }
        }
    }
    return line;
}

}  // namespace sim
