// The launcher mqhxcpl_host, run as a child process on a machine of the test's own (bounded wait):
// it opens the applet and saves the board list's picture, ends with 1 when there is no board to
// show, and refuses arguments it does not know.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "sim/machine_testing.h"

extern char** environ;

namespace {

// A bound for a hung launcher, not a measure of its speed (sanitizer builds are slow).
constexpr auto kLauncherBound = std::chrono::seconds(120);
constexpr auto kPollStep = std::chrono::milliseconds(10);

struct LauncherRun {
    int exitCode = -1;  // -1: it did not end within the bound (and was killed)
    std::string err;
};

LauncherRun RunLauncher(std::vector<std::string> arguments, const std::filesystem::path& scratch) {
    const auto errFile = scratch / "launcher.err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    arguments.insert(arguments.begin(), MQHXCPL_HOST_PATH);
    std::vector<char*> argv;
    for (auto& word : arguments)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    LauncherRun run;
    pid_t child = 0;
    const int spawned =
        posix_spawn(&child, MQHXCPL_HOST_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return run;
    int status = 0;
    bool ended = false;
    for (const auto end = std::chrono::steady_clock::now() + kLauncherBound;
         !ended && std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(kPollStep))
        ended = waitpid(child, &status, WNOHANG) == child;
    if (!ended) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    } else if (WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
    }
    std::ifstream err(errFile);
    run.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    return run;
}

TEST(LauncherTest, OpensTheAppletSavesTheBoardListAndRefusesWhatItCannotShow) {
    const std::string picture = std::string(MQ_TEST_PICTURES) + "/mqhxcpl_host_board_list.png";
    std::filesystem::create_directories(MQ_TEST_PICTURES);
    std::filesystem::remove(picture);
    struct Case {
        std::vector<std::string> boards;
        std::vector<std::string> arguments;
        int exitCode;
        const char* message;  // a part of what it writes to stderr; "" for nothing expected
    };
    const Case cases[] = {
        {{"MQ5120 4 1", "Mq5200 0x5204 10"}, {"--screenshot", picture}, 0, ""},
        {{"# no boards"}, {"--screenshot", picture + ".none"}, 1, "no board list to save"},
        {{"MQ5120 4 1"}, {"--unknown"}, 2, "usage: mqhxcpl_host [--screenshot FILE]"},
        {{"MQ5120 4 1"}, {"--screenshot"}, 2, "usage: mqhxcpl_host [--screenshot FILE]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[0]);
        sim::testing::ScopedSimulatedMachine machine(c.boards);
        const LauncherRun run = RunLauncher(c.arguments, machine.directory());
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    ASSERT_TRUE(std::filesystem::exists(picture));
    EXPECT_GT(std::filesystem::file_size(picture), 0u);
    EXPECT_FALSE(std::filesystem::exists(picture + ".none"));
}

}  // namespace
