#pragma once

#include <chrono>
#include <functional>

// ensureQtCore() (a QCoreApplication for tests without the Qt test main) is in DBusMock.h.
namespace mirl::test {

/// Runs the Qt event loop until `done` holds or `timeout` passes; whether it held.
bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

/// Runs the Qt event loop for `duration`.
void pumpFor(std::chrono::milliseconds duration);

} // namespace mirl::test
