// The forms runtime's application services: the one UI thread and its loop, the dispatcher of
// events, message boxes, Sleep, End, help, launching programs, printing, the screen and the
// application's identity.
//
// The UI thread is the thread that made the Runtime. Its Qt event loop also serves the thread's
// win32 message queue: a message posted from any thread wakes the loop at once, and the loop
// dispatches every queued message in order, each handler running to its end before the next is
// taken. Modal forms and boxes run a nested loop that does the same.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/forms.h"

namespace ui {

struct AppInfo {
    std::string title;
    std::string helpFile;
    int major = 0;
    int minor = 0;
    int revision = 0;
    std::string companyName;
    std::string legalCopyright;
    std::string fileDescription;
    std::string comments;
};

// Message box flags and answers.
inline constexpr int kMbOkOnly = 0;
inline constexpr int kMbCritical = 16;
inline constexpr int kMbExclamation = 48;
inline constexpr int kMbInformation = 64;
inline constexpr int kIdOk = 1;

// Help commands.
inline constexpr std::uint32_t kHelpContext = 1;
inline constexpr std::uint32_t kHelpContents = 3;
inline constexpr std::uint32_t kHelpPartialKey = 261;

struct MessageBoxRecord {
    std::string text;
    int flags;
    std::string title;
};

struct HelpCall {
    std::uint32_t hwnd;
    std::string file;
    std::uint32_t command;
    std::uint64_t data;
};

struct PrintJob {
    std::string form;
    std::string file;  // the PNG written into the machine's print folder
};

// Thrown by End to unwind the handler that called it; the dispatcher swallows it.
struct EndRequest {};

class Runtime {
  public:
    // Makes the Qt application when there is none (argc/argv are forwarded to it).
    Runtime(int argc = 0, char** argv = nullptr);
    ~Runtime();
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    static Runtime& Current();
    // The process's runtime, or nullptr when no program made one (a control in another kind of
    // container).
    static Runtime* CurrentIfAny();

    AppInfo app;

    // Runs the loop until the MDI frame has closed, or End; returns the exit code.
    int Run();
    // Dispatches what is pending (posted messages, timers, input) without waiting.
    void DoEvents();
    // Runs the loop until the condition holds or the bound has passed; true when it held.
    bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound);

    // Runs an event handler of the user's input: an error that escapes it is shown in a box
    // (exclamation, OK only, the application's title) and the program goes on.
    void Dispatch(const std::function<void()>& handler);

    // A modal box; returns the button chosen. In scripted mode the box is recorded and answered
    // by the scripted user.
    int MsgBox(const std::string& text, int flags = kMbOkOnly, const std::string& title = "");
    const std::vector<MessageBoxRecord>& MessageBoxes() const { return boxes_; }

    // Ends the program at once: no Unload event runs and nothing is saved. Throws EndRequest.
    [[noreturn]] void End();
    bool Ended() const { return ended_; }

    // Help through the help viewer: recorded; nothing is shown (there is no viewer). Raises when
    // a test made help calls fail.
    void WinHelp(std::uint32_t hwnd, const std::string& file, std::uint32_t command,
                 std::uint64_t data);
    const std::vector<HelpCall>& HelpCalls() const { return helpCalls_; }
    void FailHelpCalls(bool fail) { failHelp_ = fail; }

    // Starts a program in a normal window without waiting; raises 53 when it cannot start.
    // In scripted mode the launch is only recorded.
    void Shell(const std::string& path);
    const std::vector<std::string>& Launches() const { return launches_; }
    static bool FileExists(const std::string& path);

    const std::vector<PrintJob>& PrintJobs() const { return printJobs_; }
    void Print(const std::string& form, const Picture& picture);

    // The screen in twips.
    int ScreenWidth() const;
    int ScreenHeight() const;

    // The MDI frame that children are shown in.
    void SetMdiFrame(Form* frame) { frame_ = frame; }
    Form* MdiFrame() const { return frame_; }
    // Every loaded form, in load order.
    const std::vector<Form*>& LoadedForms() const { return forms_; }

    // Scripted mode (tests, the launcher's scripted start): boxes, modal forms and file dialogs
    // are answered by responders instead of the user, help and launches are only recorded.
    void SetScripted(bool scripted) { scripted_ = scripted; }
    bool Scripted() const { return scripted_; }
    // Responders, taken in order by the next box, modal form or file dialog.
    using BoxResponder = std::function<int(const MessageBoxRecord&)>;
    using ModalResponder = std::function<void(Form&)>;
    using FileResponder = std::function<bool(std::string& fileName)>;  // false: cancel
    void AddBoxResponder(BoxResponder responder);
    void AddModalResponder(ModalResponder responder);
    void AddFileResponder(FileResponder responder);
    // How long a modal waits for its responder before it fails the test and closes.
    std::chrono::milliseconds modalBound{10000};
    // Called before each win32 message the loop dispatches, with its number and the tick count
    // (ms) it was posted at (measurements).
    std::function<void(std::uint32_t message, std::uint32_t postedTick)> onServe;
    // Called when a modal went unanswered (the scripted user makes it fail the test).
    std::function<void(const std::string& what)> onUnanswered;
    // Runtime internals.
    bool AskFile(bool save, const std::string& filter, std::string& fileName);
    void FormLoaded(Form* form);
    void FormUnloaded(Form* form);
    void RunModal(Form& form);
    void ServeMessages();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::vector<MessageBoxRecord> boxes_;
    std::vector<HelpCall> helpCalls_;
    std::vector<std::string> launches_;
    std::vector<PrintJob> printJobs_;
    std::vector<Form*> forms_;
    std::vector<BoxResponder> boxResponders_;
    std::vector<ModalResponder> modalResponders_;
    std::vector<FileResponder> fileResponders_;
    Form* frame_ = nullptr;
    bool scripted_ = false;
    bool ended_ = false;
    bool failHelp_ = false;
};

// Blocks the UI thread for the time given on the stand-ins' clock and dispatches nothing; on a
// manual clock it advances the clock instead of waiting.
void Sleep(std::uint32_t milliseconds);

}  // namespace ui
