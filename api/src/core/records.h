// The records behind the library's handles. Each record's first field holds its own handle
// token; the tables clear it when the handle is released.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/personality.h"
#include "driver/driver_channel.h"
#include "hxda/configuration_block.h"
#include "hxdaapi32.h"
#include "ops/copy_thread_link.h"
#include "win32/sync.h"
#include "win32/timing.h"

namespace hxda {

struct DeviceRecord {
    // Opening a subsystem and terminating the device exclude each other, so that no subsystem is
    // opened on a device whose extension library and tables are going.
    std::mutex lifetime;
    bool closed = false;  // under lifetime
    HDEV self = 0;
    HMODULE extensionModule = nullptr;
    void* personalityEntry = nullptr;
    std::atomic<std::uint32_t> openSubsystems{0};
    std::uint32_t boardType = 0;
    const std::uint32_t* subsystemCounts = nullptr;  // six counts, one per subsystem type
    char driverName[64] = {};
    char boardName[64] = {};
    char devicePath[128] = {};
    const char* modelName = nullptr;
    std::unique_ptr<DriverChannel> deviceFile;
    std::uint32_t threadStartSleepTimeMSecs = 0;
    std::uint32_t threadStopSleepTimeMSecs = 0;
    std::uint32_t messageOnAbort = 0;
    std::uint32_t abortSleepTimeMSecs = 0;
    std::uint32_t copyThreadPriority = 0;
};

// The subsystem's configuration block, allocated with room for `entries` list entries.
class ConfigurationStorage {
  public:
    explicit ConfigurationStorage(std::uint32_t entries)
        : entries_(entries), words_((configurationBlockBytes(entries) + 7) / 8, 0) {}
    ConfigurationBlock* block() { return reinterpret_cast<ConfigurationBlock*>(words_.data()); }
    const ConfigurationBlock* block() const {
        return reinterpret_cast<const ConfigurationBlock*>(words_.data());
    }
    std::uint32_t entries() const { return entries_; }

  private:
    std::uint32_t entries_;
    std::vector<std::uint64_t> words_;  // 8-byte aligned for the block's double
};

// A lock one thread holds at a time, recursively, that a caller can give up waiting for. Its
// state is under a mutex (which every thread checker follows); a waiter sleeps on an auto-reset
// event set at each release, so that its timeout passes in the platform's time.
class OperationMutex {
  public:
    OperationMutex() : free_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    ~OperationMutex() {
        if (free_ != nullptr)
            CloseHandle(free_);
    }
    OperationMutex(const OperationMutex&) = delete;
    OperationMutex& operator=(const OperationMutex&) = delete;

    // False when `timeoutMs` passed before the lock was free.
    bool lockWithin(std::uint32_t timeoutMs) {
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        for (;;) {
            if (tryTake())
                return true;
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline)
                return false;
            WaitForSingleObject(free_, static_cast<DWORD>(deadline - now));
        }
    }
    void lock() {
        while (!tryTake())
            WaitForSingleObject(free_, INFINITE);
    }
    void unlock() {
        {
            std::lock_guard guard(mutex_);
            if (depth_ == 0 || --depth_ != 0)
                return;
            owner_ = {};
        }
        // One waiter wakes and takes the lock, or finds a newcomer holding it, whose release
        // sets the event again.
        SetEvent(free_);
    }

  private:
    bool tryTake() {
        std::lock_guard guard(mutex_);
        const std::thread::id self = std::this_thread::get_id();
        if (depth_ != 0 && owner_ != self)
            return false;
        owner_ = self;
        ++depth_;
        return true;
    }

    std::mutex mutex_;
    HANDLE free_;
    std::thread::id owner_;
    unsigned depth_ = 0;
};

// Two locks guard a subsystem. Every engine call holds the operation lock from its dispatch to its
// return, so that callers' operations run one at a time (a call that cannot have it within its
// deadline answers HXNOHWRESPONSE); the copy thread never takes it, so that a notification
// procedure's calls are served while another caller waits for the copy thread. The lock guards
// the record's fields; a caller waiting for the copy thread leaves it meanwhile. Order: the
// operation lock before the lock.
struct SubsystemRecord {
    SubsystemRecord() { InitializeCriticalSection(&lock); }
    ~SubsystemRecord() {
        copyThread.reset();  // joins the thread, which uses the record to the end
        DeleteCriticalSection(&lock);
    }
    SubsystemRecord(const SubsystemRecord&) = delete;
    SubsystemRecord& operator=(const SubsystemRecord&) = delete;

    HDASS self = 0;
    std::unique_ptr<DriverChannel> file;
    std::shared_ptr<DeviceRecord> device;
    PersonalityRecord personality;
    std::uint32_t type = 0;  // hxss_tag
    std::uint32_t element = 0;
    std::unique_ptr<ConfigurationStorage> configuration;
    HLIST readyList = 0;  // A/D and D/A subsystems only
    HLIST doneList = 0;
    std::uint32_t copyThreadCommand = 0;
    OperationMutex operationLock;
    CRITICAL_SECTION lock{};
    bool released = false;  // under the lock: calls that found the record before its release end
    // Set before the record enters the table and kept until it is freed; shutdown() ends it.
    std::shared_ptr<CopyThreadLink> copyThread;
    HWND window = nullptr;
    std::uint32_t windowWParam = 0;
    LPARAM windowLParam = 0;
    NotifyProc notifyProcedure = nullptr;
    std::uint32_t procedureFirstValue = 0;
    LPARAM procedureSecondValue = 0;
    HBUF flushTarget = 0;
    std::uint32_t flushCount = 0;

    ConfigurationBlock& block() { return *configuration->block(); }
    bool hasBufferLists() const { return readyList != 0; }
};

}  // namespace hxda
