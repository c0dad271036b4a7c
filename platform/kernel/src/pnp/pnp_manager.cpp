// The Plug and Play and power manager: one PnP thread runs the operations in order; a watcher
// thread waits for handles to close (REMOVE after an unplug) and for drivers to become unused
// (unload).
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "host/built_at_load.h"
#include "host/host.h"
#include "io/device_interfaces.h"
#include "io/io_manager.h"
#include "kernel/loader.h"
#include "kernel/pnp.h"
#include "kernel/rules.h"
#include "pnp/requests.h"

namespace kernel::pnp {
namespace {

struct DeviceNode {
    DeviceState state = DeviceState::Adding;
    std::u16string service;
};

struct DriverNode {
    PDRIVER_OBJECT object = nullptr;
    int devices = 0;
    // A watch waits for the driver to be unused: one at a time, since the unload it leads to
    // frees the driver object that a second one would still look at.
    bool unloadWatched = false;
};

struct Watch {
    std::function<bool()> ready;
    std::function<void()> then;
};

class Manager {
  public:
    static Manager& Instance() {
        static Manager manager;
        return manager;
    }

    ~Manager() {
        {
            host::Guard guard(lock_);
            stopping_ = true;
            changed_.NotifyAll();
        }
        thread_.Join();
        watcher_.Join();
        for (auto& helper : helpers_)
            helper.Join();
    }

    std::future<NTSTATUS> Post(std::function<NTSTATUS()> operation) {
        auto promise = std::make_shared<std::promise<NTSTATUS>>();
        std::future<NTSTATUS> result = promise->get_future();
        host::Guard guard(lock_);
        tasks_.push_back([promise, operation] { promise->set_value(operation()); });
        if (!thread_.Running())
            thread_ = host::Thread([this] { RunTasks(); });
        changed_.NotifyAll();
        return result;
    }

    NTSTATUS Arrive(PDEVICE_OBJECT pdo, const FunctionDriver& function);
    NTSTATUS Gone(PDEVICE_OBJECT pdo);
    NTSTATUS OrderlyRemoval(PDEVICE_OBJECT pdo);
    NTSTATUS Rebalance(PDEVICE_OBJECT pdo);

    DeviceState StateOf(PDEVICE_OBJECT pdo) {
        host::Guard guard(lock_);
        auto it = devices_.find(pdo);
        return it == devices_.end() ? DeviceState::Unknown : it->second.state;
    }
    bool DriverLoaded(const std::u16string& service) {
        host::Guard guard(lock_);
        return drivers_.count(service) != 0;
    }
    void SetEarlyRemove(bool early) {
        host::Guard guard(lock_);
        earlyRemove_ = early;
    }
    bool WaitIdle(int timeoutMs) {
        const auto deadline = host::Now() + std::chrono::milliseconds(timeoutMs);
        host::Guard guard(lock_);
        auto busy = [this] {
            return !tasks_.empty() || running_ || !watches_.empty() || evaluating_ ||
                   helpersRunning_ > 0;
        };
        while (busy()) {
            if (!changed_.WaitUntil(guard, deadline) && busy())
                return false;
        }
        return true;
    }

  private:
    // The I/O manager, which the PnP and watcher threads use, is built first so that it is
    // destroyed after them.
    Manager() { io::IoManager::Instance(); }

    void RunTasks() {
        host::Guard guard(lock_);
        for (;;) {
            while (tasks_.empty() && !stopping_)
                changed_.Wait(guard);
            if (tasks_.empty())
                return;
            auto task = std::move(tasks_.front());
            tasks_.pop_front();
            running_ = true;
            guard.unlock();
            task();
            guard.lock();
            running_ = false;
            changed_.NotifyAll();
        }
    }

    void RunWatches() {
        host::Guard guard(lock_);
        while (!stopping_) {
            if (watches_.empty()) {
                changed_.Wait(guard);
                continue;
            }
            std::vector<Watch> pending;
            pending.swap(watches_);
            evaluating_ = true;
            guard.unlock();
            std::vector<Watch> still;
            for (auto& watch : pending) {
                if (watch.ready())
                    watch.then();
                else
                    still.push_back(std::move(watch));
            }
            guard.lock();
            for (auto& watch : still)
                watches_.push_back(std::move(watch));
            evaluating_ = false;
            changed_.NotifyAll();
            if (!watches_.empty())
                changed_.WaitUntil(guard, host::Now() + std::chrono::milliseconds(2));
        }
    }

    void AddWatch(Watch watch) {  // called with the lock held
        watches_.push_back(std::move(watch));
        if (!watcher_.Running())
            watcher_ = host::Thread([this] { RunWatches(); });
        changed_.NotifyAll();
    }

    void SetState(PDEVICE_OBJECT pdo, DeviceState state) {
        host::Guard guard(lock_);
        devices_[pdo].state = state;
    }

    // REMOVE_DEVICE, then the driver's accounting. On the PnP thread, or on an early-remove
    // helper.
    void Remove(PDEVICE_OBJECT pdo, DeviceState finalState) {
        SendPnp(pdo, IRP_MN_REMOVE_DEVICE);
        host::Guard guard(lock_);
        DeviceNode& node = devices_[pdo];
        node.state = finalState;
        ReleaseDriver(node.service);
    }

    // One device of the driver is gone; with none left, it is unloaded once it is unused.
    void ReleaseDriver(const std::u16string& service) {  // called with the lock held
        auto it = drivers_.find(service);
        if (it == drivers_.end() || --it->second.devices > 0 || it->second.unloadWatched)
            return;
        it->second.unloadWatched = true;
        PDRIVER_OBJECT driver = it->second.object;
        AddWatch(Watch{[driver] { return !DriverInUse(driver); },
                       [this, service, driver] {
                           Post([this, service, driver] {
                               {
                                   host::Guard guard(lock_);
                                   auto it = drivers_.find(service);
                                   if (it == drivers_.end() || it->second.object != driver)
                                       return STATUS_SUCCESS;
                                   it->second.unloadWatched = false;
                                   if (it->second.devices > 0)
                                       return STATUS_SUCCESS;  // in use again
                                   drivers_.erase(it);
                               }
                               UnloadDriver(driver);
                               return STATUS_SUCCESS;
                           });
                       }});
    }

    host::Lock lock_;
    host::Condition changed_;
    std::deque<std::function<void()>> tasks_;
    bool running_ = false;
    bool stopping_ = false;
    bool earlyRemove_ = false;
    std::map<PDEVICE_OBJECT, DeviceNode> devices_;
    std::map<std::u16string, DriverNode> drivers_;
    std::vector<Watch> watches_;
    bool evaluating_ = false;  // the watcher is looking at watches taken out of the list
    int helpersRunning_ = 0;
    std::vector<host::Thread> helpers_;
    host::Thread thread_;
    host::Thread watcher_;
};
[[maybe_unused]] const bool kBuiltAtLoad = ::kernel::host::BuildAtLoad(&Manager::Instance);

NTSTATUS Manager::Arrive(PDEVICE_OBJECT pdo, const FunctionDriver& function) {
    PDRIVER_OBJECT driver = nullptr;
    {
        host::Guard guard(lock_);
        auto existing = devices_.find(pdo);
        if (existing != devices_.end() && existing->second.state != DeviceState::Removed &&
            existing->second.state != DeviceState::StartFailed) {
            ReportRuleViolation("a PDO was reported twice");
            return STATUS_OBJECT_NAME_COLLISION;
        }
        devices_[pdo] = DeviceNode{DeviceState::Adding, function.serviceName};
        auto it = drivers_.find(function.serviceName);
        if (it != drivers_.end())
            driver = it->second.object;
    }
    if (driver == nullptr) {
        const NTSTATUS loaded = function.load ? function.load(&driver) : STATUS_DLL_NOT_FOUND;
        if (!NT_SUCCESS(loaded) || driver == nullptr) {
            SetState(pdo, DeviceState::StartFailed);
            return NT_SUCCESS(loaded) ? STATUS_UNSUCCESSFUL : loaded;
        }
    }
    {
        host::Guard guard(lock_);
        DriverNode& node = drivers_[function.serviceName];
        node.object = driver;
        ++node.devices;
    }
    PDRIVER_ADD_DEVICE addDevice = driver->DriverExtension->AddDevice;
    NTSTATUS status = addDevice != nullptr ? addDevice(driver, pdo) : STATUS_NOT_SUPPORTED;
    if (!NT_SUCCESS(status) || pdo->AttachedDevice == nullptr) {
        if (NT_SUCCESS(status))
            status = STATUS_UNSUCCESSFUL;  // AddDevice built no stack
        host::Guard guard(lock_);
        devices_[pdo].state = DeviceState::StartFailed;
        ReleaseDriver(function.serviceName);
        return status;
    }
    if (IoGetAttachedDevice(pdo)->Flags & DO_DEVICE_INITIALIZING)
        ReportRuleViolation("AddDevice left DO_DEVICE_INITIALIZING set on its device");

    DEVICE_CAPABILITIES capabilities{};
    capabilities.Size = sizeof(DEVICE_CAPABILITIES);
    capabilities.Version = 1;
    capabilities.Address = 0xFFFFFFFF;
    capabilities.UINumber = 0xFFFFFFFF;
    // Its status does not matter: a stack that does not answer keeps the pre-filled record.
    Send(pdo, IRP_MJ_PNP, IRP_MN_QUERY_CAPABILITIES, [&](PIO_STACK_LOCATION stack) {
        stack->Parameters.DeviceCapabilities.Capabilities = &capabilities;
    });
    status = SendPnp(pdo, IRP_MN_START_DEVICE);
    if (!NT_SUCCESS(status)) {
        Remove(pdo, DeviceState::StartFailed);
        return status;
    }
    SetState(pdo, DeviceState::Started);
    SendPnp(pdo, IRP_MN_QUERY_PNP_DEVICE_STATE);
    return STATUS_SUCCESS;
}

NTSTATUS Manager::Gone(PDEVICE_OBJECT pdo) {
    bool early = false;
    {
        host::Guard guard(lock_);
        auto it = devices_.find(pdo);
        if (it == devices_.end() || it->second.state != DeviceState::Started)
            return STATUS_SUCCESS;  // no stack to tear down
        early = earlyRemove_;
    }
    io::MarkPhysicalDeviceAbsent(pdo);  // no longer listed, whatever its driver does
    SendPnp(pdo, IRP_MN_SURPRISE_REMOVAL);
    const std::set<PDEVICE_OBJECT> stack = StackOf(pdo);
    host::Guard guard(lock_);
    devices_[pdo].state = DeviceState::SurpriseRemoved;
    if (early) {
        ++helpersRunning_;
        helpers_.emplace_back([this, pdo] {
            Remove(pdo, DeviceState::Removed);
            host::Guard guard(lock_);
            --helpersRunning_;
            changed_.NotifyAll();
        });
    } else {
        AddWatch(Watch{[stack] { return !FilesOpenOn(stack); },
                       [this, pdo] {
                           Post([this, pdo] {
                               Remove(pdo, DeviceState::Removed);
                               return STATUS_SUCCESS;
                           });
                       }});
    }
    return STATUS_SUCCESS;
}

NTSTATUS Manager::OrderlyRemoval(PDEVICE_OBJECT pdo) {
    if (StateOf(pdo) != DeviceState::Started)
        return STATUS_NO_SUCH_DEVICE;
    const NTSTATUS status = SendPnp(pdo, IRP_MN_QUERY_REMOVE_DEVICE);
    if (NT_SUCCESS(status))
        Remove(pdo, DeviceState::Removed);
    else
        SendPnp(pdo, IRP_MN_CANCEL_REMOVE_DEVICE);
    return status;
}

NTSTATUS Manager::Rebalance(PDEVICE_OBJECT pdo) {
    if (StateOf(pdo) != DeviceState::Started)
        return STATUS_NO_SUCH_DEVICE;
    NTSTATUS status = SendPnp(pdo, IRP_MN_QUERY_STOP_DEVICE);
    if (!NT_SUCCESS(status)) {
        SendPnp(pdo, IRP_MN_CANCEL_STOP_DEVICE);
        return status;
    }
    SendPnp(pdo, IRP_MN_STOP_DEVICE);
    status = SendPnp(pdo, IRP_MN_START_DEVICE);
    if (!NT_SUCCESS(status))
        Remove(pdo, DeviceState::StartFailed);
    return status;
}

}  // namespace

std::future<NTSTATUS> DeviceArrived(PDEVICE_OBJECT pdo, FunctionDriver driver) {
    Manager& manager = Manager::Instance();
    return manager.Post([&manager, pdo, driver] { return manager.Arrive(pdo, driver); });
}

std::future<NTSTATUS> DeviceGone(PDEVICE_OBJECT pdo) {
    Manager& manager = Manager::Instance();
    return manager.Post([&manager, pdo] { return manager.Gone(pdo); });
}

std::future<NTSTATUS> RequestRemoval(PDEVICE_OBJECT pdo) {
    Manager& manager = Manager::Instance();
    return manager.Post([&manager, pdo] { return manager.OrderlyRemoval(pdo); });
}

std::future<NTSTATUS> Rebalance(PDEVICE_OBJECT pdo) {
    Manager& manager = Manager::Instance();
    return manager.Post([&manager, pdo] { return manager.Rebalance(pdo); });
}

namespace {
std::future<NTSTATUS> PostPower(PDEVICE_OBJECT pdo, UCHAR minor, POWER_STATE_TYPE type,
                                POWER_STATE state) {
    Manager& manager = Manager::Instance();
    return manager.Post([&manager, pdo, minor, type, state] {
        const DeviceState current = manager.StateOf(pdo);
        if (current != DeviceState::Started)
            return STATUS_NO_SUCH_DEVICE;
        return Send(pdo, IRP_MJ_POWER, minor, [&](PIO_STACK_LOCATION stack) {
            stack->Parameters.Power.Type = type;
            stack->Parameters.Power.State = state;
            stack->Parameters.Power.ShutdownType = PowerActionNone;
        });
    });
}
}  // namespace

std::future<NTSTATUS> SetPower(PDEVICE_OBJECT pdo, POWER_STATE_TYPE type, POWER_STATE state) {
    return PostPower(pdo, IRP_MN_SET_POWER, type, state);
}

std::future<NTSTATUS> QueryPower(PDEVICE_OBJECT pdo, POWER_STATE_TYPE type, POWER_STATE state) {
    return PostPower(pdo, IRP_MN_QUERY_POWER, type, state);
}

DeviceState StateOf(PDEVICE_OBJECT pdo) {
    return Manager::Instance().StateOf(pdo);
}

bool DriverLoaded(const std::u16string& serviceName) {
    return Manager::Instance().DriverLoaded(serviceName);
}

namespace testing {
void SetEarlyRemove(bool early) {
    Manager::Instance().SetEarlyRemove(early);
}
bool WaitIdle(int timeoutMs) {
    return Manager::Instance().WaitIdle(timeoutMs);
}
}  // namespace testing

}  // namespace kernel::pnp
