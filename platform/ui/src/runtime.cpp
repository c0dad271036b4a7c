#include "ui/runtime.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <spawn.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "qt_convert.h"
#include "registry/machine.h"
#include "simclock/clock.h"
#include "simclock/condition.h"
#include "uilang/runtime_error.h"
#include "win32/message_arrival.h"
#include "win32/messages.h"

extern char** environ;

namespace ui {
namespace {

constexpr std::int32_t kErrFileNotFound = 53;
constexpr int kMsgBoxIconMask = 0x70;
constexpr int kPumpSliceMs = 5;
const QEvent::Type kServeMessages = static_cast<QEvent::Type>(QEvent::User + 1);

Runtime* g_current = nullptr;

// Wakes the UI thread's loop when a win32 message is queued for it, from any thread; the loop
// then takes every queued message on its own thread.
class MessageBridge : public QObject {
  public:
    explicit MessageBridge(Runtime& runtime) : runtime_(runtime) {
        win32::SetMessageArrivalNotifier(&MessageBridge::Arrived, this);
    }
    ~MessageBridge() override { win32::SetMessageArrivalNotifier(nullptr, nullptr); }

    static void Arrived(void* context) {
        auto* bridge = static_cast<MessageBridge*>(context);
        if (!bridge->pending_.exchange(true))
            QCoreApplication::postEvent(bridge, new QEvent(kServeMessages));
    }

    bool event(QEvent* event) override {
        if (event->type() != kServeMessages)
            return QObject::event(event);
        pending_ = false;
        runtime_.ServeMessages();
        return true;
    }

  private:
    Runtime& runtime_;
    std::atomic<bool> pending_{false};
};

QMessageBox::Icon IconOf(int flags) {
    switch (flags & kMsgBoxIconMask) {
        case kMbCritical:
            return QMessageBox::Critical;
        case kMbExclamation:
            return QMessageBox::Warning;
        case kMbInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

}  // namespace

struct Runtime::Impl {
    std::unique_ptr<MessageBridge> bridge;
    QPointer<QEventLoop> mainLoop;
    int printNumber = 0;
};

Runtime::Runtime(int argc, char** argv) : impl_(std::make_unique<Impl>()) {
    // One Qt application for the process, kept to its end (and never destroyed: Qt's own statics
    // go first at exit): runtimes made one after another, as test cases do, share it.
    if (QApplication::instance() == nullptr) {
        bool given = argc > 0 && argv != nullptr;
        static char s_name[] = "larkspur";
        static char* s_argv[] = {s_name, nullptr};
        static int s_argc = given ? argc : 1;
        static QApplication* application = new QApplication(s_argc, given ? argv : s_argv);
        (void)application;
        QApplication::setQuitOnLastWindowClosed(false);
    }
    // Makes the thread's message queue before anyone posts to it.
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    impl_->bridge = std::make_unique<MessageBridge>(*this);
    g_current = this;
}

Runtime::~Runtime() {
    for (auto it = forms_.rbegin(); it != forms_.rend(); ++it)
        (*it)->TeardownWithoutEvents();
    forms_.clear();
    impl_->bridge.reset();
    QCoreApplication::removePostedEvents(nullptr);
    g_current = nullptr;
}

Runtime& Runtime::Current() {
    return *g_current;
}

Runtime* Runtime::CurrentIfAny() {
    return g_current;
}

void Runtime::ServeMessages() {
    MSG msg;
    while (!ended_ && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            continue;
        if (onServe)
            onServe(msg.message, msg.time);
        Dispatch([&] { DispatchMessageA(&msg); });
    }
}

int Runtime::Run() {
    if (ended_ || forms_.empty())
        return 0;
    QEventLoop loop;
    impl_->mainLoop = &loop;
    loop.exec();
    return 0;
}

void Runtime::DoEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    ServeMessages();
}

bool Runtime::PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound) {
    ServeMessages();
    if (condition())
        return true;
    if (simclock::IsVirtual()) {
        // The simulation's time passes only while this thread waits on the clock: it pumps in
        // slices of the clock, so that the bound is one of simulated time.
        const auto deadline = simclock::Deadline::After(bound);
        while (!deadline.Passed()) {
            simclock::SleepFor(std::chrono::milliseconds(kPumpSliceMs));
            DoEvents();
            if (condition())
                return true;
        }
        return condition();
    }
    // The loop sleeps until something arrives; a short timer looks at the condition meanwhile.
    QEventLoop loop;
    bool held = false;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition()) {
            held = true;
            loop.quit();
        }
    });
    check.start(kPumpSliceMs);
    QTimer::singleShot(static_cast<int>(bound.count()), &loop, [&] { loop.quit(); });
    loop.exec();
    return held || condition();
}

void Runtime::Dispatch(const std::function<void()>& handler) {
    if (ended_)
        return;
    try {
        handler();
    } catch (const EndRequest&) {
    } catch (const uilang::RuntimeError& error) {
        MsgBox(error.Description(), kMbExclamation, app.title);
    } catch (const std::exception& error) {
        MsgBox(error.what(), kMbExclamation, app.title);
    }
}

void Runtime::AddBoxResponder(BoxResponder responder) {
    boxResponders_.push_back(std::move(responder));
}

void Runtime::AddModalResponder(ModalResponder responder) {
    modalResponders_.push_back(std::move(responder));
}

void Runtime::AddFileResponder(FileResponder responder) {
    fileResponders_.push_back(std::move(responder));
}

int Runtime::MsgBox(const std::string& text, int flags, const std::string& title) {
    MessageBoxRecord record{text, flags, title.empty() ? app.title : title};
    boxes_.push_back(record);
    if (!scripted_) {
        QMessageBox box(IconOf(flags), Q(record.title), Q(text), QMessageBox::Ok);
        box.exec();
        return kIdOk;
    }
    // The box's loop dispatches as a real box's does; its answer comes from a responder, or OK
    // for a box that has only OK.
    int answer = kIdOk;
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&] {
        if (!boxResponders_.empty()) {
            BoxResponder responder = std::move(boxResponders_.front());
            boxResponders_.erase(boxResponders_.begin());
            answer = responder(record);
        }
        loop.quit();
    });
    loop.exec();
    return answer;
}

void Runtime::RunModal(Form& form) {
    QEventLoop loop;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, &loop, [&] {
        if (!form.Loaded() || !form.Visible())
            loop.quit();
    });
    watcher.start(kPumpSliceMs);
    QTimer bound;
    if (scripted_) {
        QTimer::singleShot(0, &loop, [&] {
            if (modalResponders_.empty())
                return;
            ModalResponder responder = std::move(modalResponders_.front());
            modalResponders_.erase(modalResponders_.begin());
            Dispatch([&] { responder(form); });
        });
        bound.setSingleShot(true);
        QObject::connect(&bound, &QTimer::timeout, &loop, [&] {
            if (onUnanswered)
                onUnanswered("modal form " + form.Name() + " was not answered");
            if (form.Loaded())
                form.Unload();
            loop.quit();
        });
        bound.start(static_cast<int>(modalBound.count()));
    }
    if (form.Loaded() && form.Visible())
        loop.exec();
}

bool Runtime::AskFile(bool save, const std::string& filter, std::string& fileName) {
    if (!scripted_) {
        // "Text (*.txt)|*.txt|All (*.*)|*.*" becomes Qt's "Text (*.txt) (*.txt);;All (*.*) (*.*)".
        QStringList filters;
        QStringList parts = Q(filter).split('|');
        for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
            filters << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
        QString chosen =
            save
                ? QFileDialog::getSaveFileName(nullptr, QString(), Q(fileName), filters.join(";;"),
                                               nullptr, QFileDialog::DontConfirmOverwrite)
                : QFileDialog::getOpenFileName(nullptr, QString(), Q(fileName), filters.join(";;"));
        if (chosen.isEmpty())
            return false;
        fileName = S(chosen);
        return true;
    }
    if (fileResponders_.empty()) {
        if (onUnanswered)
            onUnanswered(save ? "save dialog was not answered" : "open dialog was not answered");
        return false;
    }
    FileResponder responder = std::move(fileResponders_.front());
    fileResponders_.erase(fileResponders_.begin());
    return responder(fileName);
}

void Runtime::End() {
    ended_ = true;
    for (auto it = forms_.rbegin(); it != forms_.rend(); ++it)
        (*it)->TeardownWithoutEvents();
    forms_.clear();
    if (impl_->mainLoop)
        impl_->mainLoop->quit();
    throw EndRequest{};
}

void Runtime::WinHelp(std::uint32_t hwnd, const std::string& file, std::uint32_t command,
                      std::uint64_t data) {
    helpCalls_.push_back({hwnd, file, command, data});
    if (failHelp_)
        throw uilang::RuntimeError(uilang::kErrInvalidPropertyValue, "WinHelp",
                                   "Unable to start the help viewer");
}

bool Runtime::FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

void Runtime::Shell(const std::string& path) {
    if (!FileExists(path))
        throw uilang::RuntimeError(kErrFileNotFound, app.title, "File not found");
    launches_.push_back(path);
    if (scripted_)
        return;
    pid_t pid = 0;
    char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0)
        throw uilang::RuntimeError(kErrFileNotFound, app.title, "File not found");
}

void Runtime::Print(const std::string& form, const Picture& picture) {
    std::filesystem::path folder = registry::MachineDirectory() / "print";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::filesystem::path file =
        folder / ("job-" + std::to_string(++impl_->printNumber) + "-" + form + ".png");
    picture.SavePng(file.string());
    printJobs_.push_back({form, file.string()});
}

int Runtime::ScreenWidth() const {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? Twips(screen->geometry().width()) : 0;
}

int Runtime::ScreenHeight() const {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? Twips(screen->geometry().height()) : 0;
}

void Runtime::FormLoaded(Form* form) {
    forms_.push_back(form);
}

void Runtime::FormUnloaded(Form* form) {
    std::erase(forms_, form);
    if (form == frame_) {
        frame_ = nullptr;
        if (impl_->mainLoop)
            impl_->mainLoop->quit();
    }
}

void Sleep(std::uint32_t milliseconds) {
    auto step = std::chrono::milliseconds(milliseconds);
    if (simclock::IsManual()) {
        simclock::testing::Advance(step);
        return;
    }
    if (simclock::IsVirtual()) {
        simclock::SleepFor(step);
        return;
    }
    std::this_thread::sleep_for(step);
}

}  // namespace ui
