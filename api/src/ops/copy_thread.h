// The copy thread of a subsystem with continuous transfers. It owns everything asynchronous about
// the subsystem: it hands the caller's buffers to the driver as overlapped reads, takes them back
// in its alertable waits, moves them to the done list, decides when a transfer has ended, keeps
// three event requests pending and reports all of this by notification.
//
// Callers reach it through the request engine: synchronous commands (the caller waits, holding the
// subsystem's lock, for the acknowledgement) and posted commands. Commands queue in order, so a
// posted command is never overwritten by the next one.
//
// Notifications go to the window or the notification procedure in force at the last synchronous
// command (they are read while the commanding caller holds the subsystem's lock). A procedure is
// called on the copy thread. It may call the library on its own subsystem only when no other
// thread waits for an acknowledgement (a stop, an abort, a start): that thread holds the
// subsystem's lock, so the procedure's call would wait for the lock while the waiting thread
// waits for the copy thread, until the acknowledgement times out after 20 s. Window posting has
// no such limit and is the main path.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "core/records.h"
#include "hxda/api_status.h"
#include "hxda/driver_events.h"
#include "hxda/driver_request.h"
#include "ops/copy_thread_link.h"
#include "win32/fileio.h"
#include "win32/sync.h"

namespace hxda {

class CopyThread final : public CopyThreadLink {
  public:
    // Starts the thread of `subsystem`, whose driver file is `file` (opened overlapped). Null when
    // an event or the thread cannot be made.
    static std::unique_ptr<CopyThread> start(SubsystemRecord& subsystem, HANDLE file);
    // Ends the thread: the running transfer is aborted, every pending request of the thread is
    // cancelled and collected, and the thread is joined.
    ~CopyThread() override;
    CopyThread(const CopyThread&) = delete;
    CopyThread& operator=(const CopyThread&) = delete;

    ApiStatus command(std::uint32_t command) override;
    ApiStatus post(std::uint32_t command) override;
    std::uint32_t inProcessCount() const override { return inProcess_.load(); }

    // The most reads handed to the driver at once.
    static constexpr std::uint32_t kMaxInProcess = 8;
    // How long a synchronous command waits for its acknowledgement.
    static constexpr DWORD kAcknowledgeTimeoutMs = 20000;

  private:
    static constexpr std::size_t kEventRequests = 3;

    struct Command {
        std::uint32_t code = 0;
        bool synchronous = false;
        HBUF flushTarget = 0;  // FLUSHINPROCESS: the buffer and count given by the caller
        std::uint32_t flushCount = 0;
    };
    struct NotifyTarget {
        HWND window = nullptr;
        WPARAM windowWParam = 0;
        LPARAM windowLParam = 0;
        NotifyProc procedure = nullptr;
        HDASS procedureFirst = 0;
        LPARAM procedureSecond = 0;
    };
    struct EventRequest {
        OVERLAPPED overlapped{};
        HANDLE event = nullptr;
        DriverRequest record{};  // each request has its own record
        bool pending = false;
    };

    CopyThread(SubsystemRecord& subsystem, HANDLE file);
    static DWORD WINAPI threadMain(LPVOID self);
    void run();
    void enqueue(const Command& command);
    bool runCommands();  // false once DEALLOCATE ran
    void runCommand(const Command& command);
    void collectOutstanding();

    // Transfers (copy_thread_transfer.cpp).
    void startTransfer(bool prestart);
    void stopSubsystem(bool abort);
    void queueReads();
    bool issueRead(HBUF buffer);
    static void WINAPI readCompleted(DWORD error, DWORD bytes, LPOVERLAPPED overlapped);
    void onReadCompleted(DWORD error, DWORD bytes, HBUF buffer);
    bool readyListEmpty() const;
    void endOfQueue();
    void endAfterLastRead();
    void finishTransfer();
    void discharge(HBUF buffer, bool failed);
    void flushInProcess(const Command& command);
    void acknowledge();

    // Event requests (copy_thread_events.cpp).
    void sendEventRequest(std::size_t index);
    void onEventRequest(std::size_t index);
    bool reactToEvent(DriverEvent event, std::uint32_t data);  // false: not renewed

    // Notifications (copy_thread_notify.cpp).
    void takeNotifyTarget();
    void notify(std::uint32_t message, bool payload = false, LPARAM value = 0);

    std::int32_t state() const;
    void setState(std::int32_t state);
    bool isInput() const { return subsystem_.type == HXSS_AD || subsystem_.type == HXSS_DIN; }

    SubsystemRecord& subsystem_;
    HANDLE file_;
    HANDLE thread_ = nullptr;
    HANDLE commandEvent_ = nullptr;      // auto-reset
    HANDLE acknowledgeEvent_ = nullptr;  // manual-reset
    std::array<EventRequest, kEventRequests> requests_{};
    DriverRequest flushRecord_{};

    std::mutex commandMutex_;
    std::deque<Command> commands_;
    std::atomic<std::uint32_t> acknowledgeResult_{0};
    std::atomic<std::uint32_t> inProcess_{0};

    // Touched by the copy thread alone.
    bool stopping_ = false;
    bool aborting_ = false;
    bool pretriggerMark_ = false;
    std::uint32_t wrapMode_ = HXWRAP_NONE;
    std::uint32_t dataWidth_ = 2;
    std::uint32_t resolution_ = 0;
    std::uint32_t dataFlow_ = 0;
    bool awaitingAcknowledge_ = false;  // a synchronous command waits for its acknowledgement
    std::deque<HBUF> held_;             // buffers whose reads failed, until nothing is in process
    NotifyTarget target_;
};

}  // namespace hxda
