#pragma once

#include "runtime/Console.h"

#include <QDBusUnixFileDescriptor>
#include <QObject>

#include <functional>

namespace mirl {

/// The system's sleep and wake as logind announces them (PrepareForSleep). While it watches,
/// Mirl holds a "delay" sleep inhibitor lock, so that the computer waits (up to logind's
/// InhibitDelayMaxSec) until willSleep has run; the lock is released right after it and taken
/// again at the wake, before didWake runs. Without logind nothing is announced and nothing is
/// held (said once on the console).
/// Thread rule: main thread, with a QCoreApplication; the callbacks run there.
class LogindSleepWatch final : public QObject {
    Q_OBJECT
public:
    LogindSleepWatch(std::function<void()> willSleep, std::function<void()> didWake, Console& console);
    ~LogindSleepWatch() override;

    /// Whether the delay lock is held now.
    bool holdsLock() const { return lock_.isValid(); }
    /// Whether the PrepareForSleep signal is being followed.
    bool watching() const { return watching_; }

private Q_SLOTS:
    void prepareForSleep(bool start);

private:
    void takeLock();

    std::function<void()> willSleep_;
    std::function<void()> didWake_;
    Console& console_;
    QDBusUnixFileDescriptor lock_;
    bool watching_ = false;
    bool reportedNoLock_ = false;
};

} // namespace mirl
