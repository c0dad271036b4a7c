// MQ5120 boards of the board list on the machine's USB bus, started by their driver MQ5120k: boot
// and registration, names, signals reaching the running board, the board list's changes, faults,
// and shutdown.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "client.h"
#include "hxdaapi32.h"
#include "kernel/machine.h"
#include "machine_waits.h"
#include "sim/machine_testing.h"
#include "win32/handles.h"

namespace {

constexpr char kDatabase[] =
    "System\\CurrentControlSet\\Control\\MqHalcyonDaDevice\\BoardDatabase\\";

BOOL CALLBACK Collect(LPSTR board, LPSTR, LPARAM user) {
    reinterpret_cast<std::vector<std::string>*>(user)->push_back(board);
    return TRUE;
}

// The board names the library lists.
std::vector<std::string> Enumerated() {
    std::vector<std::string> names;
    hxDaEnumBoards(&Collect, reinterpret_cast<LPARAM>(&names));
    return names;
}

std::optional<std::string> DatabaseName(const std::string& description, const char* serialKey) {
    HKEY key = simtest::OpenMachineKey(kDatabase + description + "\\" + serialKey);
    if (key == nullptr)
        return std::nullopt;
    auto name = simtest::QueryString(key, "MqHalcyonBoardName");
    RegCloseKey(key);
    return name;
}

// A board opened through the library with its A/D subsystem.
class OpenAd {
  public:
    explicit OpenAd(const std::string& board) {
        if (hxDaInitialize(board.c_str(), &device_) != HXNOERROR) {
            device_ = 0;
            return;
        }
        if (hxDaGetDASS(device_, HXSS_AD, 0, &ad_) != HXNOERROR) {
            ad_ = 0;
            return;
        }
        configured_ =
            hxDaSetDataFlow(ad_, HXDF_SINGLEVALUE) == HXNOERROR && hxDaConfig(ad_) == HXNOERROR;
    }
    ~OpenAd() {
        if (ad_ != 0)
            hxDaReleaseDASS(ad_);
        if (device_ != 0)
            hxDaTerminate(device_);
    }
    OpenAd(const OpenAd&) = delete;
    OpenAd& operator=(const OpenAd&) = delete;

    // Opened and configured for single values.
    bool ok() const { return configured_; }
    HDASS ad() const { return ad_; }
    // A single value of a channel at gain 1; nothing when the library refuses.
    std::optional<UINT> Single(UINT channel) const {
        UINT value = 0;
        if (!configured_ || hxDaGetSingleValue(ad_, &value, channel, 1.0) != HXNOERROR)
            return std::nullopt;
        return value;
    }

  private:
    HDEV device_ = 0;
    HDASS ad_ = 0;
    bool configured_ = false;
};

TEST(MachineMq5120, ABoardOfTheListRegistersAndItsAnalogInputReadsItsSignals) {
    sim::testing::ScopedSimulatedMachine machine(
        {"MQ5120 4 0x1234 AD0.0=pattern:1000,2000 AD0.5=const:2.5"});
    const auto boards = simtest::ListBoards();
    ASSERT_EQ(boards.size(), 1u);
    EXPECT_EQ(boards[0].boardName, "MQ5120(00)");
    EXPECT_EQ(boards[0].driverName, "MQ5120");
    EXPECT_EQ(boards[0].modelName, "MQ5120-16-04-16");
    EXPECT_EQ(boards[0].boardType, 4u);
    EXPECT_EQ(boards[0].serialNumber, 0x1234u);
    EXPECT_EQ(boards[0].instance, 0u);
    EXPECT_EQ(DatabaseName("MQ5120", "00001234"), "MQ5120(00)");
    EXPECT_EQ(Enumerated(), std::vector<std::string>{"MQ5120(00)"});

    OpenAd board("MQ5120(00)");
    ASSERT_TRUE(board.ok());
    EXPECT_EQ(board.Single(0), 1000u);
    EXPECT_EQ(board.Single(0), 2000u);
    EXPECT_EQ(board.Single(0), 1000u);
    EXPECT_EQ(board.Single(5), 40960u) << "2.5 V on the 16-bit converter's +-10 V";
    EXPECT_EQ(board.Single(1), 32768u) << "an input without a signal reads 0 V";
}

}  // namespace
