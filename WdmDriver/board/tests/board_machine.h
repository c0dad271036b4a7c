// A test-level machine for the board driver: a fresh registry, the USB bus stand-in, simulated
// MQ5120 boards plugged into it and started through the kernel's Plug and Play manager with the
// driver MQ5120k (linked in, or loaded from its module). Everything waits bounded.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "board/board_device.h"
#include "board/mq5120k.h"
#include "clock_waits.h"
#include "framework/pool.h"
#include "kernel/io_interface.h"
#include "kernel/loader.h"
#include "kernel/machine.h"
#include "kernel/pnp.h"
#include "kernel/testing.h"
#include "mq5120/board.h"
#include "registry/store.h"
#include "registry/testing.h"
#include "usb/bus.h"

namespace board_test {

// A registry value as the tests compare it: strings decoded, DWORDs as numbers.
struct RegValue {
    std::string name;
    std::uint32_t type = 0;
    std::string text;
    std::uint32_t number = 0;
    bool operator==(const RegValue&) const = default;
};
inline RegValue Sz(std::string name, std::string text) {
    return {std::move(name), 1, std::move(text), 0};
}
inline RegValue Dword(std::string name, std::uint32_t number) {
    return {std::move(name), 4, "", number};
}
std::ostream& operator<<(std::ostream& out, const RegValue& v);

// The values of a key in the order they were first set; empty when the key does not exist.
std::vector<RegValue> KeyValues(const std::string& path);
// The values of every device interface key, by the instance path's last part.
std::map<std::string, std::vector<RegValue>> InterfaceValues();
// Whether the board's device interface opens (it does while enabled and present).
bool InterfaceOpens(PDEVICE_OBJECT pdo);
// Sets a value under HKLM.
void SetDword(const std::string& path, const std::string& name, std::uint32_t value);
void SetString(const std::string& path, const std::string& name, const std::string& text);
// The board database's name entry of a board; empty when absent.
std::string DatabaseName(const std::string& description, std::uint32_t key);

struct Plugged {
    std::shared_ptr<mq5120::Board> board;
    // The board's clock when it stands still until a test advances it (null on real time).
    std::shared_ptr<mq5120::ManualTime> time;
    PDEVICE_OBJECT pdo = nullptr;
    std::string instanceId;  // last part of the instance path
};

class BoardMachine : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The driver the manager loads: linked in (default) or from libMQ5120k.so.
    bool useModule = false;
    // Boards paced by the stand-ins' clock (streaming tests); else by a clock of their own that
    // stands still.
    bool realTimeBoards = false;

    // Plugs a board and waits for the plug-in; returns the plug-in's status.
    NTSTATUS Plug(const mq5120::BoardIdentity& identity, Plugged* plugged = nullptr,
                  const std::u16string& manufacturer = u"Marquell",
                  const std::u16string& description = u"MQ5120");
    // Plugs a board without waiting; the caller waits on the future.
    std::future<NTSTATUS> PlugAsync(std::shared_ptr<mq5120::Board> board, Plugged* plugged,
                                    const std::u16string& manufacturer,
                                    const std::u16string& description);
    // Pulls the board out and waits until the manager has removed its stack.
    void Unplug(const Plugged& plugged);
    // Everything unplugged and removed, the manager idle and the driver unloaded.
    void RemoveAll();

    // The driver's device above a PDO (linked-in driver only).
    static board::BoardDevice* DeviceOf(PDEVICE_OBJECT pdo) {
        return static_cast<board::BoardDevice*>(
            wdm::KernelDeviceBase::FromDevice(pdo->AttachedDevice));
    }

    std::unique_ptr<registry::ScopedMachine> machine_;
    std::unique_ptr<usb::Bus> bus;
    std::vector<Plugged> plugged;

  private:
    kernel::pnp::FunctionDriver Driver() const;
    int nextId_ = 1;
};

}  // namespace board_test
