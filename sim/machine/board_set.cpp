// Keeping the machine's boards in step with its board list.
#include "board_set.h"

#include <chrono>
#include <cstdio>
#include <set>
#include <thread>

#include "simclock/condition.h"

namespace sim {

BoardSet::~BoardSet() {
    for (auto& [key, entry] : listed_)
        if (entry.board && !entry.board->StackRemoved())
            static_cast<void>(entry.board.release());
    for (auto& [key, board] : leaving_)
        if (!board->StackRemoved())
            static_cast<void>(board.release());
}

void BoardSet::PlugIn(Entry& entry) {
    const BoardDescription& board = entry.description;
    entry.board.reset();
    entry.waiting = Leaving(KeyOf(board));
    if (entry.waiting)
        return;  // the same board's last device still has files open
    const NTSTATUS status = plugger_->PlugIn(board, &entry.board);
    if (!NT_SUCCESS(status))
        std::fprintf(stderr, "machine: board %s %u %u did not start (0x%08X)\n",
                     DriverNameOf(board.family), board.boardType, board.serialNumber,
                     static_cast<unsigned>(status));
}

void BoardSet::PullOut(const BoardKey& key, Entry& entry) {
    if (!entry.board)
        return;
    entry.board->PullOut();
    leaving_.emplace_back(key, std::move(entry.board));
}

bool BoardSet::Leaving(const BoardKey& key) const {
    for (const auto& [leavingKey, board] : leaving_)
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
        PullOut(it->first, it->second);
        it = listed_.erase(it);
    }
    for (const auto& board : boards) {
        const BoardKey key = KeyOf(board);
        auto found = listed_.find(key);
        if (found == listed_.end()) {
            Entry& entry = listed_[key];
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
            PullOut(key, entry);
            entry.description = board;
            PlugIn(entry);
            continue;
        }
        entry.description = board;
        if (entry.board)
            entry.board->SetSignals(board.signals);
    }
}

void BoardSet::Tidy() {
    for (auto it = leaving_.begin(); it != leaving_.end();) {
        if (!it->second->StackRemoved()) {
            ++it;
            continue;
        }
        it = leaving_.erase(it);  // deletes what is left of the board on its bus
    }
    for (auto& [key, entry] : listed_)
        if (entry.waiting)
            PlugIn(entry);
}

NTSTATUS BoardSet::RequestRemoval(const BoardKey& key) {
    auto found = listed_.find(key);
    if (found == listed_.end() || !found->second.board)
        return STATUS_NO_SUCH_DEVICE;
    const NTSTATUS status = found->second.board->RequestRemoval();
    if (NT_SUCCESS(status)) {
        leaving_.emplace_back(key, std::move(found->second.board));
        Tidy();
    }
    return status;
}

PluggedBoard* BoardSet::Find(const BoardKey& key) const {
    auto found = listed_.find(key);
    if (found == listed_.end() || !found->second.board || !found->second.board->IsPluggedIn())
        return nullptr;
    return found->second.board.get();
}

bool BoardSet::PullOut(const BoardKey& key) {
    auto found = listed_.find(key);
    if (found == listed_.end() || !found->second.board)
        return false;
    PullOut(key, found->second);
    return true;
}

NTSTATUS BoardSet::SetDevicePower(const BoardKey& key, DEVICE_POWER_STATE state) {
    auto found = listed_.find(key);
    if (found == listed_.end() || !found->second.board)
        return STATUS_NO_SUCH_DEVICE;
    POWER_STATE power;
    power.DeviceState = state;
    return kernel::pnp::SetPower(found->second.board->physical(), DevicePowerState, power).get();
}

bool BoardSet::RemoveAll(int timeoutMs) {
    for (auto& [key, entry] : listed_) {
        if (!entry.board)
            continue;
        entry.board->Unplug();
        leaving_.emplace_back(key, std::move(entry.board));
    }
    listed_.clear();
    const auto deadline = simclock::Deadline::After(std::chrono::milliseconds(timeoutMs));
    for (;;) {
        Tidy();
        if (leaving_.empty())
            return true;
        if (deadline.Passed())
            return false;
        simclock::SleepFor(std::chrono::milliseconds(2));
    }
}

}  // namespace sim
