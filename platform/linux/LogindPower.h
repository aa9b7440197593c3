#pragma once

#include "platform/Power.h"
#include "runtime/Console.h"

#include <QObject>

namespace mirl {

/// Suspends through logind's Manager.Suspend(false) on the system bus, asked without waiting;
/// when logind is not on the bus, or answers with an error, the fallback (systemctl suspend)
/// takes over. A later failure is reported on the console ("Mirl: suspend failed: ...").
/// Thread rule: main thread, with a QCoreApplication.
class LogindPower final : public Power {
public:
    LogindPower(Power& fallback, Console& console);
    std::optional<std::string> suspend() override;

private:
    void fallBack(const std::string& why);

    Power& fallback_;
    Console& console_;
    QObject context_;
};

} // namespace mirl
