// The copy thread of a subsystem with continuous transfers. It owns everything asynchronous about
// the subsystem: it hands the caller's buffers to the driver as overlapped reads, takes them back
// in its alertable waits, moves them to the done list, decides when a transfer has ended, keeps
// three event requests pending and reports all of this by notification.
//
// Callers reach it through the request engine: synchronous commands (the caller waits for the
// acknowledgement, having left the subsystem's lock meanwhile) and posted commands. Commands queue
// in order, so a posted command is never overwritten by the next one; each synchronous command
// has an acknowledgement of its own, so two callers never take each other's answer.
//
// Notifications go to the window or the notification procedure in force when the command that
// began the transfer was given. A procedure is called on the copy thread, with no lock of the
// library held, and may call the library: calls that need no answer of the copy thread are served
// as from any thread; a start runs at once on the copy thread; a stop, an abort or a reset is
// queued and runs as soon as the procedure returns (the call answers at once); a release ends the
// thread once the procedure returns and finishes the release on it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

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
    // Ends the thread as shutdown() does, unless it ended already.
    ~CopyThread() override;
    CopyThread(const CopyThread&) = delete;
    CopyThread& operator=(const CopyThread&) = delete;

    ApiStatus command(std::uint32_t command) override;
    ApiStatus post(std::uint32_t command) override;
    // Buffers off the subsystem's lists in the thread's care (in a read, held after a failed one,
    // or on their way to a list): zero only once every buffer taken is on a list again.
    std::uint32_t inProcessCount() const override { return away_.load(); }
    bool isCurrentThread() const override;
    void shutdown() override;
    void retire(std::function<void()> finish) override;

    // The most reads handed to the driver at once.
    static constexpr std::uint32_t kMaxInProcess = 8;

  private:
    static constexpr std::size_t kEventRequests = 3;

    // The answer to one synchronous command; the caller may have stopped waiting for it. The
    // caller waits on an event, so that its timeout passes in the platform's time.
    class Acknowledgement {
      public:
        Acknowledgement();
        ~Acknowledgement();
        Acknowledgement(const Acknowledgement&) = delete;
        Acknowledgement& operator=(const Acknowledgement&) = delete;
        void complete(std::uint32_t result);
        // False when `timeoutMs` passed first.
        bool wait(DWORD timeoutMs, std::uint32_t* result);

      private:
        std::mutex mutex_;
        HANDLE done_;  // manual reset, set once completed
        bool completed_ = false;
        std::uint32_t result_ = 0;
    };
    struct NotifyTarget {
        HWND window = nullptr;
        WPARAM windowWParam = 0;
        LPARAM windowLParam = 0;
        NotifyProc procedure = nullptr;
        HDASS procedureFirst = 0;
        LPARAM procedureSecond = 0;
    };
    struct Command {
        std::uint32_t code = 0;
        std::shared_ptr<Acknowledgement> acknowledgement;  // null for a posted command
        NotifyTarget target;                               // taken when the command was given
        HBUF flushTarget = 0;  // FLUSHINPROCESS: the buffer and count given by the caller
        std::uint32_t flushCount = 0;
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
    // False when the thread has ended: the command is not taken.
    bool enqueue(Command command);
    Command commandFromCaller(std::uint32_t code) const;
    // Takes a command the thread has not begun out of the queue; false when it was begun.
    bool withdraw(const std::shared_ptr<Acknowledgement>& answer);
    bool runCommands();  // false once DEALLOCATE ran
    void runCommand(const Command& command);
    void collectOutstanding();
    void closeCommands();

    // Transfers (copy_thread_transfer.cpp).
    void startTransfer(bool prestart);
    void stopSubsystem(bool abort);
    void queueReads();
    // The head of `list`, put in process and counted away; 0 when the list is empty.
    HBUF takeForProcess(HLIST list);
    // Appends a buffer counted away to `list`.
    void putBack(HLIST list, HBUF buffer);
    bool issueRead(HBUF buffer);
    static void WINAPI readCompleted(DWORD error, DWORD bytes, LPOVERLAPPED overlapped);
    void onReadCompleted(DWORD error, DWORD bytes, HBUF buffer);
    bool readyListEmpty() const;
    void endOfQueue();
    void endAfterLastRead();
    void finishTransfer();
    void discharge(HBUF buffer, bool failed);
    void flushInProcess(const Command& command);
    // Answers every command that waits for the transfer's end.
    void acknowledge(std::uint32_t result = 0);

    // Event requests (copy_thread_events.cpp).
    void sendEventRequest(std::size_t index);
    void onEventRequest(std::size_t index);
    bool reactToEvent(DriverEvent event, std::uint32_t data);  // false: not renewed

    // Notifications (copy_thread_notify.cpp).
    void notify(std::uint32_t message, bool payload = false, LPARAM value = 0);

    std::int32_t state() const;
    void setState(std::int32_t state);
    bool isInput() const { return subsystem_.type == HXSS_AD || subsystem_.type == HXSS_DIN; }

    SubsystemRecord& subsystem_;
    HANDLE file_;
    HANDLE thread_ = nullptr;
    std::atomic<DWORD> threadId_{0};
    HANDLE commandEvent_ = nullptr;  // auto-reset
    std::array<EventRequest, kEventRequests> requests_{};
    DriverRequest flushRecord_{};

    std::mutex commandMutex_;
    std::deque<Command> commands_;
    bool closed_ = false;            // the thread has ended; under commandMutex_
    std::function<void()> retired_;  // run by the thread as its last act; under commandMutex_
    std::atomic<std::uint32_t> inProcess_{0};  // reads handed to the driver
    // Counted before a buffer leaves a list and uncounted after it is on one again, so that a
    // caller who sees zero finds every buffer on a list.
    std::atomic<std::uint32_t> away_{0};

    // Touched by the copy thread alone.
    bool stopping_ = false;
    bool aborting_ = false;
    bool pretriggerMark_ = false;
    std::uint32_t wrapMode_ = HXWRAP_NONE;
    std::uint32_t dataWidth_ = 2;
    std::uint32_t resolution_ = 0;
    std::uint32_t dataFlow_ = 0;
    // Synchronous commands answered when the transfer ends (a stop or an abort).
    std::vector<std::shared_ptr<Acknowledgement>> awaiting_;
    std::deque<HBUF> held_;  // buffers whose reads failed, until nothing is in process
    NotifyTarget target_;
};

}  // namespace hxda
