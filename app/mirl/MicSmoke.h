#pragma once

namespace mirl {

/// Whether one of the arguments (the program's path included) is exactly "--mic-smoke".
bool micSmokeRequested(int argc, char** argv);

/// "mirl --mic-smoke": ten seconds of capture from the default input with an engine of its own,
/// the verdict on the console and in "mic-smoke.log" in the data folder. Returns the process's
/// exit status: 0 signal, 1 only zeros, 2 the capture could not start.
int runMicSmoke(int argc, char** argv);

} // namespace mirl
