#include "platform/linux/QtScheduler.h"

#include <QPointer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <memory>

namespace mirl {

QtScheduler::QtScheduler() = default;
QtScheduler::~QtScheduler() = default;

void QtScheduler::post(Task task) {
    // Queued invocation on the context object is safe from any thread; it dies with us.
    QMetaObject::invokeMethod(&context_, std::move(task), Qt::QueuedConnection);
}

namespace {

// A QTimer counts in int milliseconds, about 24.8 days; a longer wait is a chain of them. Waits
// are held to a century, which keeps the steady clock's arithmetic in range.
constexpr auto kLongestTimer = std::chrono::milliseconds(std::numeric_limits<int>::max());
constexpr auto kLongestWait = std::chrono::hours(24 * 365 * 100);

int timerMilliseconds(Duration wait, bool repeat) {
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wait);
    return static_cast<int>(std::clamp<long long>(ms.count(), repeat ? 1 : 0, kLongestTimer.count()));
}

} // namespace

Handle QtScheduler::startTimer(Duration interval, bool repeat, Task task) {
    struct State {
        std::atomic<bool> cancelled{false};
        QPointer<QTimer> timer;
        std::chrono::steady_clock::time_point due; // of the next run, while chained
    };
    interval = std::min<Duration>(interval, kLongestWait);
    const bool chained = interval > kLongestTimer;
    auto state = std::make_shared<State>();
    auto* timer = new QTimer(&context_);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(!repeat || chained);
    timer->setInterval(timerMilliseconds(interval, repeat));
    state->timer = timer;
    state->due = std::chrono::steady_clock::now() + interval;
    QObject::connect(timer, &QTimer::timeout, timer,
                     [state, repeat, chained, interval, task = std::move(task)] {
                         if (state->cancelled)
                             return;
                         if (chained) {
                             const Duration left = state->due - std::chrono::steady_clock::now();
                             if (left > Duration::zero()) {
                                 state->timer->start(timerMilliseconds(left, repeat));
                                 return;
                             }
                             state->due += interval;
                             if (repeat)
                                 state->timer->start(timerMilliseconds(interval, repeat));
                         }
                         if (!repeat)
                             state->timer->deleteLater();
                         task();
                     });
    timer->start();
    return Handle([weak = std::weak_ptr<State>(state)] {
        auto s = weak.lock();
        if (!s)
            return;
        s->cancelled = true;
        if (s->timer && s->timer->thread() == QThread::currentThread()) {
            s->timer->stop();
            s->timer->deleteLater();
        }
    });
}

Handle QtScheduler::after(Duration delay, Task task) {
    return startTimer(delay, false, std::move(task));
}

Handle QtScheduler::every(Duration period, Task task) {
    return startTimer(period, true, std::move(task));
}

} // namespace mirl
