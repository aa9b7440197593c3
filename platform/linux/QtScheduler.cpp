#include "platform/linux/QtScheduler.h"

#include <QPointer>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>

namespace mirl {

QtScheduler::QtScheduler() = default;
QtScheduler::~QtScheduler() = default;

void QtScheduler::post(Task task) {
    // Queued invocation on the context object is safe from any thread; it dies with us.
    QMetaObject::invokeMethod(&context_, std::move(task), Qt::QueuedConnection);
}

Handle QtScheduler::startTimer(Duration interval, bool repeat, Task task) {
    struct State {
        std::atomic<bool> cancelled{false};
        QPointer<QTimer> timer;
    };
    auto state = std::make_shared<State>();
    auto* timer = new QTimer(&context_);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(!repeat);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(interval).count();
    timer->setInterval(static_cast<int>(std::max<long long>(repeat ? 1 : 0, ms)));
    state->timer = timer;
    QObject::connect(timer, &QTimer::timeout, timer, [state, repeat, task = std::move(task)] {
        if (state->cancelled)
            return;
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
