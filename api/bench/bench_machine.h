// What the benchmarks on the simulated machine share: a machine of their own with the board
// lines they give (removed afterwards), or the machine MQ_MACHINE names, and the first board of
// a family on it.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "hxdaapi32.h"
#include "kernel/machine.h"

namespace bench {

// A temporary machine directory with a board list, named by MQ_MACHINE while the object lives;
// none (the default machine) when `useDefault`. The machine is shut down and the directory
// removed at the end.
class BenchMachine {
  public:
    BenchMachine(const std::string& name, const std::vector<std::string>& lines, bool useDefault) {
        if (useDefault)
            return;
        directory_ =
            std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
        std::filesystem::create_directories(directory_);
        std::ofstream list(directory_ / "boards.txt");
        for (const std::string& line : lines)
            list << line << '\n';
        setenv("MQ_MACHINE", directory_.c_str(), 1);
    }
    ~BenchMachine() {
        if (directory_.empty())
            return;
        kernel::machine::Shutdown();
        std::filesystem::remove_all(directory_);
    }
    BenchMachine(const BenchMachine&) = delete;
    BenchMachine& operator=(const BenchMachine&) = delete;

  private:
    std::filesystem::path directory_;
};

// The name of the first board of the driver on the machine; empty when there is none.
inline std::string FirstBoardOf(const char* driver) {
    struct Found {
        const char* driver;
        std::string name;
    } found{driver, {}};
    hxDaEnumBoards(
        [](LPSTR boardName, LPSTR driverName, LPARAM user) -> BOOL {
            auto* f = reinterpret_cast<Found*>(user);
            if (f->name.empty() && std::strcmp(driverName, f->driver) == 0)
                f->name = boardName;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found.name;
}

}  // namespace bench
