// The boards of a running machine, kept in step with its board list: a board that appears in the
// list is plugged in, one that leaves it is pulled out (surprise removal), a board whose signals
// changed gets them on the running board, and one whose type or pacing (`unpaced`) changed is
// pulled out and the new one plugged in. A board pulled out stays until its stack has been removed
// (after the last file on it closes); a board listed again meanwhile waits for it to go. Which bus
// and driver serve a board is the plugger's business. Not thread-safe: one caller at a time, never
// a Plug and Play dispatch.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "kernel/pnp.h"
#include "plugged_board.h"
#include "sim/board_description.h"
#include "sim/bus.h"

namespace sim {

class BoardSet {
  public:
    // The plugger must outlive the set.
    explicit BoardSet(BoardPlugger* plugger) : plugger_(plugger) {}
    // A board whose stack has not gone (RemoveAll timed out) is left where it is: deleting its
    // device under a stack would pull the floor from the driver's device.
    ~BoardSet();

    // Applies the difference between the boards last applied and these (in list order).
    void Apply(const std::vector<BoardDescription>& boards);
    // Deletes the boards whose stacks have gone and plugs in the boards that waited for them.
    void Tidy();
    // Orderly removal of a listed board that is plugged in (the board stays listed, and comes
    // back when its line changes or at the next boot). The status of QUERY_REMOVE; a refused
    // removal leaves the board running. STATUS_NO_SUCH_DEVICE for a board not plugged in.
    NTSTATUS RequestRemoval(const BoardKey& key);
    // A listed board that is plugged in, else null.
    PluggedBoard* Find(const BoardKey& key) const;
    // Pulls a plugged-in board out (surprise removal) while it stays listed: it comes back at the
    // next boot, or once its line leaves the list and returns. Tidy deletes it once its stack has
    // gone. False for a board not plugged in.
    bool PullOut(const BoardKey& key);
    // A device power state for a plugged-in board (sent down its stack by the manager); the
    // status, STATUS_NO_SUCH_DEVICE for a board not plugged in.
    NTSTATUS SetDevicePower(const BoardKey& key, DEVICE_POWER_STATE state);
    // Orderly removal of every board; waits (bounded) for the stacks of the boards pulled out
    // before and deletes every board. False when a stack did not go in time (its board is left).
    bool RemoveAll(int timeoutMs);

  private:
    struct Entry {
        BoardDescription description;
        std::unique_ptr<PluggedBoard> board;  // null: waiting, or did not start
        bool waiting = false;                 // for its earlier board to go
    };

    void PlugIn(Entry& entry);
    void PullOut(const BoardKey& key, Entry& entry);
    bool Leaving(const BoardKey& key) const;

    BoardPlugger* plugger_;
    std::map<BoardKey, Entry> listed_;
    std::vector<std::pair<BoardKey, std::unique_ptr<PluggedBoard>>> leaving_;
};

}  // namespace sim
