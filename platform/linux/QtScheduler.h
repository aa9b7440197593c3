#pragma once

#include "runtime/Scheduler.h"

#include <QObject>

namespace mirl {

/// The scheduler on the Qt event loop of the main thread. Timers are precise QTimers; Qt keeps
/// them firing while menus are open.
class QtScheduler final : public Scheduler {
public:
    QtScheduler();
    ~QtScheduler() override;

    void post(Task task) override;
    [[nodiscard]] Handle after(Duration delay, Task task) override;
    [[nodiscard]] Handle every(Duration period, Task task) override;

private:
    Handle startTimer(Duration interval, bool repeat, Task task);

    QObject context_;
};

} // namespace mirl
