// Line-preserving edits of a board list.
#include "sim/board_list_edit.h"

#include <sstream>

#include "sim/board_list.h"

namespace sim {
namespace {

struct Line {
    std::string text;      // as it stands, without its newline
    bool isBoard = false;  // a board line the machine reads (the first of its family and serial)
    BoardDescription board;
};

std::vector<Line> SplitLines(const std::string& text) {
    std::vector<Line> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line))
        lines.push_back(Line{line, false, {}});
    // The machine's own reading decides which lines are boards: the same lines, one at a time,
    // minus repeats.
    std::vector<std::pair<Family, std::uint32_t>> seen;
    for (auto& entry : lines) {
        const BoardList one = ParseBoardList(entry.text);
        if (one.boards.size() != 1)
            continue;
        const auto key = std::make_pair(one.boards[0].family, one.boards[0].serialNumber);
        bool repeated = false;
        for (const auto& earlier : seen)
            repeated = repeated || earlier == key;
        if (repeated)
            continue;
        seen.push_back(key);
        entry.isBoard = true;
        entry.board = one.boards[0];
    }
    return lines;
}

std::string JoinLines(const std::vector<Line>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += line.text + "\n";
    return text;
}

bool Names(const Line& line, Family family, std::uint32_t serialNumber) {
    return line.isBoard && line.board.family == family && line.board.serialNumber == serialNumber;
}

ListEdit Refused(std::string why) {
    return {false, {}, std::move(why)};
}

std::string BoardName(Family family, std::uint32_t serialNumber) {
    return std::string(DriverNameOf(family)) + " " + std::to_string(serialNumber);
}

}  // namespace

bool ParseBoardKey(const std::string& family, const std::string& serial, Family* familyOut,
                   std::uint32_t* serialOut, std::string* error) {
    if (family.find_first_of(" \t#") != std::string::npos ||
        serial.find_first_of(" \t#") != std::string::npos) {
        *error = "bad family or serial number";
        return false;
    }
    const BoardList one = ParseBoardList(family + " 0 " + serial);
    if (one.boards.size() != 1) {
        *error = one.errors.empty() ? "bad family or serial number" : one.errors[0].message;
        return false;
    }
    *familyOut = one.boards[0].family;
    *serialOut = one.boards[0].serialNumber;
    return true;
}

std::string EffectiveListText(bool fileExists, const std::string& fileText) {
    if (fileExists)
        return fileText;
    return FormatBoard(DefaultBoard()) + "\n";
}

ListEdit AddBoard(const std::string& text, const std::vector<std::string>& words) {
    std::string line;
    for (const auto& word : words) {
        if (word.empty() || word.find_first_of(" \t#\r\n") != std::string::npos)
            return Refused("bad word '" + word + "'");
        line += (line.empty() ? "" : " ") + word;
    }
    const BoardList one = ParseBoardList(line);
    if (one.boards.size() != 1)
        return Refused(one.errors.empty() ? "no board given" : one.errors[0].message);
    const BoardDescription& board = one.boards[0];
    std::vector<Line> lines = SplitLines(text);
    for (const auto& existing : lines)
        if (Names(existing, board.family, board.serialNumber))
            return Refused("board " + BoardName(board.family, board.serialNumber) +
                           " is listed already");
    lines.push_back(Line{line, false, {}});
    return {true, JoinLines(lines), {}};
}

ListEdit RemoveBoard(const std::string& text, Family family, std::uint32_t serialNumber) {
    std::vector<Line> lines = SplitLines(text);
    std::vector<Line> kept;
    bool found = false;
    for (auto& line : lines) {
        // A repeated line of the board (which the machine skips) goes too, so that the board
        // does not come back from it.
        const BoardList one = ParseBoardList(line.text);
        const bool ofBoard = one.boards.size() == 1 && one.boards[0].family == family &&
                             one.boards[0].serialNumber == serialNumber;
        found = found || Names(line, family, serialNumber);
        if (!ofBoard)
            kept.push_back(std::move(line));
    }
    if (!found)
        return Refused("board " + BoardName(family, serialNumber) + " is not listed");
    return {true, JoinLines(kept), {}};
}

ListEdit SetSignal(const std::string& text, Family family, std::uint32_t serialNumber,
                   const std::string& assignment) {
    if (assignment.find('=') == std::string::npos ||
        assignment.find_first_of(" \t#\r\n") != std::string::npos)
        return Refused("expected <channel>=<signal>, got '" + assignment + "'");
    std::vector<Line> lines = SplitLines(text);
    for (auto& line : lines) {
        if (!Names(line, family, serialNumber))
            continue;
        // The later assignment of a channel wins when the list is read.
        const BoardList one = ParseBoardList(FormatBoard(line.board) + " " + assignment);
        if (one.boards.size() != 1)
            return Refused(one.errors.empty() ? "bad signal" : one.errors[0].message);
        const auto hash = line.text.find('#');
        const std::string comment = hash == std::string::npos ? "" : " " + line.text.substr(hash);
        line.text = FormatBoard(one.boards[0]) + comment;
        return {true, JoinLines(lines), {}};
    }
    return Refused("board " + BoardName(family, serialNumber) + " is not listed");
}

}  // namespace sim
