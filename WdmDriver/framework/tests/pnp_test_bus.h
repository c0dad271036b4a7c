// A small bus driver for the device base's tests: it creates physical devices that the kernel's
// Plug and Play manager drives, completes what reaches them as a bus driver does (with statuses a
// test chooses), and writes what it sees into a journal shared with the function driver under
// test. A hook runs when a chosen minor code arrives, before the bus answers it.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "kernel/wdm.h"

namespace wdm_test {

// What bus and function driver saw, in order ("bus:START", "fdo:remove", ...).
class Journal {
  public:
    void Note(std::string entry) {
        std::lock_guard lock(mutex_);
        entries_.push_back(std::move(entry));
    }
    std::vector<std::string> Entries() {
        std::lock_guard lock(mutex_);
        return entries_;
    }
    // The entries with the given prefix ("bus:"), in order.
    std::vector<std::string> With(const std::string& prefix);
    void Clear() {
        std::lock_guard lock(mutex_);
        entries_.clear();
    }

  private:
    std::mutex mutex_;
    std::vector<std::string> entries_;
};

struct BusAnswers {
    std::map<UCHAR, NTSTATUS> status;  // by PnP minor; others as the bus always answers
    std::function<void(UCHAR minor)> onPnp;
};

class PnpTestBus {
  public:
    explicit PnpTestBus(Journal* journal);
    ~PnpTestBus();
    PnpTestBus(const PnpTestBus&) = delete;
    PnpTestBus& operator=(const PnpTestBus&) = delete;

    PDEVICE_OBJECT CreatePdo(BusAnswers answers = {});
    BusAnswers& Answers(PDEVICE_OBJECT pdo);
    void DeletePdo(PDEVICE_OBJECT pdo);

  private:
    struct Pdo;
    static NTSTATUS OnPnp(PDEVICE_OBJECT pdo, PIRP irp);
    static NTSTATUS OnPower(PDEVICE_OBJECT pdo, PIRP irp);
    static NTSTATUS Entry(PDRIVER_OBJECT driver, PUNICODE_STRING);

    Journal* journal_;
    PDRIVER_OBJECT driver_ = nullptr;
    std::map<PDEVICE_OBJECT, std::unique_ptr<Pdo>> pdos_;
    int next_ = 0;
};

std::string PnpMinorName(UCHAR minor);

}  // namespace wdm_test
