// mqmachine: manages the simulated machine's boards from a shell by editing its board list. A
// machine that is running watches the list and follows the change (plug-in, surprise removal, new
// signals).
//
//     mqmachine [--machine DIR] list
//     mqmachine [--machine DIR] plug <family> <type> <serial> [<channel>=<signal> ...]
//     mqmachine [--machine DIR] unplug <family> <serial>
//     mqmachine [--machine DIR] signal <family> <serial> <channel>=<signal>
//
// The machine is DIR, else the one MQ_MACHINE names (else the per-user default). The list is
// rewritten whole through a temporary file renamed over it, under a lock, so that a running
// machine never reads half a list and two edits do not lose each other. Exit codes: 0 done, 1 the
// list could not be read or written, 2 bad input (nothing changed).
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "registry/machine.h"
#include "sim/board_list.h"
#include "sim/board_list_edit.h"

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kBadInput = 2;

constexpr char kUsage[] =
    "usage: mqmachine [--machine DIR] list\n"
    "       mqmachine [--machine DIR] plug <family> <type> <serial> [<channel>=<signal> ...]\n"
    "       mqmachine [--machine DIR] unplug <family> <serial>\n"
    "       mqmachine [--machine DIR] signal <family> <serial> <channel>=<signal>\n"
    "a signal is const:, sine:, square: or pattern:, or on an MQ5120 a wire from the board's own\n"
    "outputs: AD0.<n>=DA0.<m>, DIN0.0=DOUT0.0, CT0.<n>=CT0.<m> (GATE0.<n> is counter n's gate)\n";

int BadInput(const std::string& message) {
    std::fprintf(stderr, "mqmachine: %s\n", message.c_str());
    return kBadInput;
}

int Usage(const std::string& message) {
    std::fprintf(stderr, "mqmachine: %s\n%s", message.c_str(), kUsage);
    return kBadInput;
}

// Holds the machine's list lock for the read, edit and rename.
class ListLock {
  public:
    explicit ListLock(const std::filesystem::path& file)
        : fd_(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
        if (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~ListLock() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    ListLock(const ListLock&) = delete;
    ListLock& operator=(const ListLock&) = delete;
    bool held() const { return fd_ >= 0; }

  private:
    int fd_;
};

std::optional<std::string> ReadFile(const std::filesystem::path& file) {
    std::ifstream stream(file);
    if (!stream)
        return std::nullopt;
    std::stringstream text;
    text << stream.rdbuf();
    return text.str();
}

bool WriteAtomically(const std::filesystem::path& file, const std::string& text) {
    const std::filesystem::path temporary =
        file.string() + ".new." + std::to_string(static_cast<long>(::getpid()));
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    const bool ok = written == text.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok || ::rename(temporary.c_str(), file.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

int List(const std::filesystem::path& directory) {
    const sim::BoardList list = sim::ReadBoardList(directory);
    for (const auto& error : list.errors)
        std::fprintf(stderr, "mqmachine: %s line %d skipped: %s\n", sim::kBoardListFileName,
                     error.line, error.message.c_str());
    for (const auto& board : list.boards)
        std::printf("%s\n", sim::FormatBoard(board).c_str());
    return kDone;
}

int Edit(const std::filesystem::path& directory, const std::string& command,
         const std::vector<std::string>& arguments) {
    sim::Family family = sim::Family::kMq5120;
    std::uint32_t serial = 0;
    std::string error;
    if (command == "plug") {
        if (arguments.size() < 3)
            return Usage("plug needs <family> <type> <serial>");
    } else if (command == "unplug") {
        if (arguments.size() != 2)
            return Usage("unplug needs <family> <serial>");
    } else if (arguments.size() != 3) {
        return Usage("signal needs <family> <serial> <channel>=<signal>");
    }
    if (command != "plug" &&
        !sim::ParseBoardKey(arguments[0], arguments[1], &family, &serial, &error))
        return BadInput(error);

    const std::filesystem::path file = directory / sim::kBoardListFileName;
    ListLock lock(directory / (std::string(sim::kBoardListFileName) + ".lock"));
    if (!lock.held()) {
        std::fprintf(stderr, "mqmachine: cannot lock the board list in %s\n", directory.c_str());
        return kFailed;
    }
    std::error_code missing;
    const bool exists = std::filesystem::exists(file, missing);
    const std::optional<std::string> current = exists ? ReadFile(file) : std::string();
    if (!current) {
        std::fprintf(stderr, "mqmachine: cannot read %s\n", file.c_str());
        return kFailed;
    }
    const std::string text = sim::EffectiveListText(exists, *current);
    sim::ListEdit edit;
    if (command == "plug")
        edit = sim::AddBoard(text, arguments);
    else if (command == "unplug")
        edit = sim::RemoveBoard(text, family, serial);
    else
        edit = sim::SetSignal(text, family, serial, arguments[2]);
    if (!edit.ok)
        return BadInput(edit.error);
    if (!WriteAtomically(file, edit.text)) {
        std::fprintf(stderr, "mqmachine: cannot write %s\n", file.c_str());
        return kFailed;
    }
    return kDone;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    std::optional<std::filesystem::path> directory;
    if (words.size() >= 1 && words[0] == "--machine") {
        if (words.size() < 2)
            return Usage("--machine needs a directory");
        std::error_code error;
        if (!std::filesystem::is_directory(words[1], error))
            return BadInput("no machine directory " + words[1]);
        directory = words[1];
        words.erase(words.begin(), words.begin() + 2);
    }
    if (words.empty())
        return Usage("no command");
    if (words[0] == "--help" || words[0] == "help") {
        std::printf("%s", kUsage);
        return kDone;
    }
    if (!directory)
        directory = registry::MachineDirectory();
    const std::string command = words[0];
    const std::vector<std::string> arguments(words.begin() + 1, words.end());
    if (command == "list") {
        if (!arguments.empty())
            return Usage("list takes no arguments");
        return List(*directory);
    }
    if (command == "plug" || command == "unplug" || command == "signal")
        return Edit(*directory, command, arguments);
    return Usage("unknown command '" + command + "'");
}
