// Keeping the machine's boards in step with its board list.
#include "board_set.h"

#include <chrono>
#include <cstdio>
#include <set>
#include <thread>

namespace sim {

void BoardSet::PlugIn(Entry& entry) {
    const BoardDescription& board = entry.description;
    entry.physical = nullptr;
    entry.waiting = Leaving(KeyOf(board));
    if (entry.waiting)
        return;  // the same board's last device still has files open
    PDEVICE_OBJECT physical = nullptr;
    const NTSTATUS status =
        sim::PlugIn(bus_, functionDriver_, board, nextIndex_++, log_, &physical);
    if (!NT_SUCCESS(status)) {
        std::fprintf(stderr, "machine: board %s %u %u did not start (0x%08X)\n",
                     DriverNameOf(board.family), board.boardType, board.serialNumber,
                     static_cast<unsigned>(status));
        return;
    }
    entry.physical = physical;
}

void BoardSet::PullOut(Entry& entry) {
    if (entry.physical == nullptr)
        return;
    sim::PullOut(entry.physical);
    leaving_.emplace_back(KeyOf(entry.description), entry.physical);
    entry.physical = nullptr;
}

bool BoardSet::Leaving(const BoardKey& key) const {
    for (const auto& [leavingKey, physical] : leaving_)
        if (leavingKey == key)
            return true;
    return false;
}

void BoardSet::Apply(const std::vector<BoardDescription>& boards) {
    std::set<BoardKey> wanted;
    for (const auto& board : boards)
        wanted.insert(KeyOf(board));
    for (auto it = listed_.begin(); it != listed_.end();) {
        if (wanted.count(it->first) != 0) {
            ++it;
            continue;
        }
        PullOut(it->second);
        it = listed_.erase(it);
    }
    for (const auto& board : boards) {
        auto found = listed_.find(KeyOf(board));
        if (found == listed_.end()) {
            Entry& entry = listed_[KeyOf(board)];
            entry.description = board;
            PlugIn(entry);
            continue;
        }
        Entry& entry = found->second;
        if (entry.description == board)
            continue;
        if (entry.description.boardType != board.boardType ||
            entry.description.unpaced != board.unpaced) {
            // Another board in the same place: the old one goes, the new one arrives. A board
            // takes its pacing when its transfers are set up, so a change of it is one as well.
            PullOut(entry);
            entry.description = board;
            PlugIn(entry);
            continue;
        }
        entry.description = board;
        if (entry.physical != nullptr)
            BoardOfPhysicalDevice(entry.physical)->SetSignals(board.signals);
    }
}

void BoardSet::Tidy() {
    for (auto it = leaving_.begin(); it != leaving_.end();) {
        if (!StackRemoved(it->second)) {
            ++it;
            continue;
        }
        DeletePhysicalDevice(it->second);
        it = leaving_.erase(it);
    }
    for (auto& [key, entry] : listed_)
        if (entry.waiting)
            PlugIn(entry);
}

NTSTATUS BoardSet::RequestRemoval(const BoardKey& key) {
    auto found = listed_.find(key);
    if (found == listed_.end() || found->second.physical == nullptr)
        return STATUS_NO_SUCH_DEVICE;
    const NTSTATUS status = kernel::pnp::RequestRemoval(found->second.physical).get();
    if (NT_SUCCESS(status)) {
        leaving_.emplace_back(key, found->second.physical);
        found->second.physical = nullptr;
        Tidy();
    }
    return status;
}

PDEVICE_OBJECT BoardSet::Find(const BoardKey& key) const {
    auto found = listed_.find(key);
    if (found == listed_.end() || found->second.physical == nullptr ||
        !IsPluggedIn(found->second.physical))
        return nullptr;
    return found->second.physical;
}

bool BoardSet::PullOut(const BoardKey& key) {
    auto found = listed_.find(key);
    if (found == listed_.end() || found->second.physical == nullptr)
        return false;
    PullOut(found->second);
    return true;
}

NTSTATUS BoardSet::SetDevicePower(const BoardKey& key, DEVICE_POWER_STATE state) {
    auto found = listed_.find(key);
    if (found == listed_.end() || found->second.physical == nullptr)
        return STATUS_NO_SUCH_DEVICE;
    POWER_STATE power;
    power.DeviceState = state;
    return kernel::pnp::SetPower(found->second.physical, DevicePowerState, power).get();
}

std::vector<PDEVICE_OBJECT> BoardSet::Devices() const {
    std::vector<PDEVICE_OBJECT> devices;
    for (const auto& [key, entry] : listed_)
        if (entry.physical != nullptr)
            devices.push_back(entry.physical);
    for (const auto& [key, physical] : leaving_)
        devices.push_back(physical);
    return devices;
}

bool BoardSet::RemoveAll(int timeoutMs) {
    for (auto& [key, entry] : listed_) {
        if (entry.physical == nullptr)
            continue;
        Unplug(entry.physical);
        leaving_.emplace_back(key, entry.physical);
        entry.physical = nullptr;
    }
    listed_.clear();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        Tidy();
        if (leaving_.empty())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

}  // namespace sim
