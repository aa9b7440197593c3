#pragma once

namespace mirl {

/// "mirl --mic-smoke": ten seconds of capture from the default input with an engine of its own,
/// the verdict on the console and in "mic-smoke.log" in the data folder. Returns the process's
/// exit status: 0 signal, 1 only zeros, 2 the capture could not start. Needs a QCoreApplication.
int runMicSmoke();

} // namespace mirl
