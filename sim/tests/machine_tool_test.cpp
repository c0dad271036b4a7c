// The machine tool, run as a child process (bounded wait): its edits keep the list's other lines,
// a running machine follows them, a machine without a list keeps its default board, and bad input
// is refused with exit code 2, a message and no change.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "client.h"
#include "machine_waits.h"
#include "sim/machine_pnp_testing.h"
#include "sim/machine_testing.h"
#include "win32/handles.h"

extern char** environ;

namespace {

// The Plug and Play requests an MQ5120's bus sees at its plug-in: START and the state query
// (MQ5120k answers the capability query itself).
constexpr std::size_t kMq5120PlugInRequests = 2;

struct ToolRun {
    int exitCode = -1;  // -1: it did not end in time (and was killed)
    std::string out;
    std::string err;
};

ToolRun RunTool(const std::vector<std::string>& arguments, const std::filesystem::path& scratch) {
    const auto outFile = scratch / "tool.out";
    const auto errFile = scratch / "tool.err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<std::string> words{MQMACHINE_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    ToolRun run;
    const int spawned =
        posix_spawn(&child, MQMACHINE_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return run;
    int status = 0;
    const bool ended =
        simtest::WaitFor([&] { return waitpid(child, &status, WNOHANG) == child; }, 10000);
    if (!ended) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    } else if (WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
    }
    run.out = simtest::ReadText(outFile);
    run.err = simtest::ReadText(errFile);
    return run;
}

TEST(MachineTool, EditsKeepTheOtherLinesAndARunningMachineFollows) {
    sim::testing::ScopedSimulatedMachine machine(
        {"# the bench", "MQ5120 4 1 AD0.0=pattern:7 # first"});
    const auto& directory = machine.directory();
    const auto scratch = directory / "scratch";
    std::filesystem::create_directory(scratch);
    ASSERT_EQ(simtest::ListBoards().size(), 1u);
    HANDLE ad = simtest::OpenAd("\\\\.\\MQ51200\\AD0");
    ASSERT_NE(ad, INVALID_HANDLE_VALUE);

    ToolRun run = RunTool(
        {"--machine", directory, "plug", "mq5130", "0x5130", "3", "AD0.1=const:2.5"}, scratch);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(simtest::WaitFor([] { return simtest::ListBoards().size() == 2; }));

    // MQ_MACHINE names the machine when no directory is given.
    run = RunTool({"signal", "MQ5120", "1", "AD0.0=pattern:4,5"}, scratch);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(simtest::WaitFor([&] { return simtest::ReadAd0(ad) == 4u; }));

    run = RunTool({"unplug", "Mq5130", "3"}, scratch);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(simtest::WaitFor([] { return simtest::ListBoards().size() == 1; }));
    CloseHandle(ad);

    EXPECT_EQ(simtest::ReadText(directory / "boards.txt"),
              "# the bench\nMQ5120 4 1 AD0.0=pattern:4,5 # first\n");
    run = RunTool({"list"}, scratch);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "MQ5120 4 1 AD0.0=pattern:4,5\n");
}

TEST(MachineTool, AMachineWithoutAListKeepsItsDefaultBoard) {
    sim::testing::ScopedSimulatedMachine machine;
    const auto scratch = machine.directory() / "scratch";
    std::filesystem::create_directory(scratch);
    ASSERT_EQ(simtest::ListBoards().size(), 1u);
    ToolRun run = RunTool({"list"}, scratch);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "MQ5120 4 1\n");
    run = RunTool({"plug", "Mq5200", "0x5202", "0x20"}, scratch);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(simtest::ReadText(machine.directory() / "boards.txt"),
              "MQ5120 4 1\nMq5200 0x5202 0x20\n");
    EXPECT_TRUE(simtest::WaitFor([] { return simtest::ListBoards().size() == 2; }));
    EXPECT_EQ(sim::testing::PnpRequestsSeen("MQ5120", 1).size(), kMq5120PlugInRequests)
        << "the default board was plugged in once and stays";
}

TEST(MachineTool, EditsKeepTheUnpacedWord) {
    sim::testing::ScopedSimulatedMachine machine({"MQ5120 4 1 unpaced AD0.0=pattern:7 # fast"});
    const auto& directory = machine.directory();
    const auto scratch = directory / "scratch";
    std::filesystem::create_directory(scratch);
    ASSERT_EQ(simtest::ListBoards().size(), 1u);

    ToolRun run = RunTool({"signal", "MQ5120", "1", "AD0.0=pattern:4"}, scratch);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    run = RunTool({"plug", "MQ5120", "4", "2", "unpaced"}, scratch);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(simtest::ReadText(directory / "boards.txt"),
              "MQ5120 4 1 unpaced AD0.0=pattern:4 # fast\nMQ5120 4 2 unpaced\n");
    run = RunTool({"list"}, scratch);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "MQ5120 4 1 unpaced AD0.0=pattern:4\nMQ5120 4 2 unpaced\n");

    // The running board took the new signal in place: its pacing did not change.
    EXPECT_TRUE(simtest::WaitFor([] { return simtest::ListBoards().size() == 2; }));
    EXPECT_EQ(sim::testing::PnpRequestsSeen("MQ5120", 1).size(), kMq5120PlugInRequests);
}

TEST(MachineTool, BadInputIsRefusedWithoutAChange) {
    const std::string list = "MQ5120 4 1\n# kept\nMq5200 0x5202 0x20\n";
    sim::testing::ScopedSimulatedMachine machine;
    const auto& directory = machine.directory();
    const auto scratch = directory / "scratch";
    std::filesystem::create_directory(scratch);
    {
        std::ofstream file(directory / "boards.txt");
        file << list;
    }
    struct Case {
        std::vector<std::string> arguments;
        const char* message;
    } cases[] = {
        {{}, "no command"},
        {{"eject"}, "unknown command 'eject'"},
        {{"list", "all"}, "list takes no arguments"},
        {{"--machine"}, "--machine needs a directory"},
        {{"--machine", (directory / "none").string(), "list"}, "no machine directory"},
        {{"plug", "MQ5120", "4"}, "plug needs <family> <type> <serial>"},
        {{"plug", "MQ9999", "4", "2"}, "unknown family 'MQ9999'"},
        {{"plug", "MQ5120", "4", "0x"}, "bad board type or serial number"},
        {{"plug", "mq5120", "2", "0x1"}, "board MQ5120 1 is listed already"},
        {{"plug", "MQ5120", "4", "2", "AD0.0=const:x"}, "const needs one level in volts"},
        {{"plug", "MQ5120", "4", "2", "AD0.0"}, "bad channel in 'AD0.0'"},
        {{"plug", "MQ5120", "4", "2", "AD0.0=const:1 #"}, "bad word"},
        {{"unplug", "MQ5120"}, "unplug needs <family> <serial>"},
        {{"unplug", "MQ5120", "7"}, "board MQ5120 7 is not listed"},
        {{"unplug", "MQ5120", "1x"}, "bad board type or serial number"},
        {{"signal", "Mq5200", "32"}, "signal needs <family> <serial> <channel>=<signal>"},
        {{"signal", "Mq5200", "32", "AD0.0"}, "expected <channel>=<signal>"},
        {{"signal", "Mq5200", "32", "XY0.0=const:1"}, "bad channel in 'XY0.0=const:1'"},
        {{"signal", "Mq5200", "32", "AD0.0=sine:1"}, "sine needs amplitude:frequency[:offset]"},
        {{"signal", "Mq5130", "32", "AD0.0=const:1"}, "board Mq5130 32 is not listed"},
        {{"signal", "MQ5120", "1", "GATE0.1=DA0.0"}, "'DA0.0' cannot drive that input"},
        {{"plug", "MQ5120", "4", "2", "DIN0.0=DOUT0.1"}, "'DOUT0.1' cannot drive that input"},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const auto& word : c.arguments)
            joined += word + " ";
        SCOPED_TRACE(joined);
        const ToolRun run = RunTool(c.arguments, scratch);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(simtest::ReadText(directory / "boards.txt"), list);
    }
}

}  // namespace
