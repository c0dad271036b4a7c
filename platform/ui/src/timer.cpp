#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <atomic>

#include "simclock/clock.h"
#include "ui/forms.h"
#include "ui/runtime.h"

namespace ui {
namespace {

std::int64_t ClockNow() {
    return simclock::Now().count();
}

constexpr std::int64_t kNanosPerMilli = 1000000;

}  // namespace

// In real mode a Qt timer wakes the thread when the tick is due; on a manual clock every jump of
// the clock asks the UI thread to look.
struct Timer::Scheduler {
    explicit Scheduler(Timer& timer)
        : owner(new QObject),
          jump([this] {
              if (!jumpPending.exchange(true))
                  QMetaObject::invokeMethod(
                      owner,
                      [this] {
                          jumpPending = false;
                          timerRef->CheckDue();
                      },
                      Qt::QueuedConnection);
          }),
          timerRef(&timer) {
        wake.setSingleShot(true);
        QObject::connect(&wake, &QTimer::timeout, owner, [this] { timerRef->CheckDue(); });
    }
    ~Scheduler() { delete owner; }

    QObject* owner;
    QTimer wake;
    std::atomic<bool> jumpPending{false};
    simclock::Subscription jump;
    Timer* timerRef;
};

Timer::Timer(Form& form, const ControlDesign& desc)
    : Control(form, desc), interval_(desc.interval) {}

Timer::~Timer() = default;

void Timer::Build(QWidget*) {
    scheduler_ = std::make_unique<Scheduler>(*this);
    Restart();
}

void Timer::Teardown() {
    Control::Teardown();
    scheduler_.reset();
}

void Timer::SetInterval(int milliseconds) {
    if (!Alive())
        return;
    interval_ = milliseconds;
    Restart();
}

void Timer::SetTimerEnabled(bool enabled) {
    SetEnabled(enabled);
    Restart();
}

void Timer::Restart() {
    due_ = ClockNow() + static_cast<std::int64_t>(interval_) * kNanosPerMilli;
    Schedule();
}

void Timer::Schedule() {
    if (!scheduler_)
        return;
    scheduler_->wake.stop();
    if (!Enabled() || interval_ <= 0 || simclock::IsManual())
        return;
    std::int64_t wait = std::max<std::int64_t>(0, due_ - ClockNow());
    scheduler_->wake.start(static_cast<int>((wait + kNanosPerMilli - 1) / kNanosPerMilli));
}

void Timer::CheckDue() {
    if (!scheduler_ || !Enabled() || interval_ <= 0)
        return;
    std::int64_t now = ClockNow();
    if (now < due_) {
        Schedule();
        return;
    }
    // Ticks that fell due meanwhile make one; the next is an interval from now.
    due_ = now + static_cast<std::int64_t>(interval_) * kNanosPerMilli;
    if (onTimer)
        Runtime::Current().Dispatch(onTimer);
    Schedule();
}

}  // namespace ui
