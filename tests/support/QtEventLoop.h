#pragma once

#include <chrono>
#include <functional>

namespace mirl::test {

/// Makes sure a QCoreApplication exists (for QtScheduler in tests without the Qt test main).
void ensureQtCore();

/// Runs the Qt event loop until `done` holds or `timeout` passes; whether it held.
bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

/// Runs the Qt event loop for `duration`.
void pumpFor(std::chrono::milliseconds duration);

} // namespace mirl::test
