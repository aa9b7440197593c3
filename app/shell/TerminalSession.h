#pragma once

namespace mirl {

/// `mirl --minutes N`: one whole session in this terminal, through the same orchestration as
/// the tray application (every output, the microphone when enabled). A status line counts down;
/// while the pre-sleep alert is up, typing +10, +20 or +30 (then Enter) extends and "s" sleeps
/// now; "c" cancels the session at any time, as does Ctrl+C (which also puts the screen and
/// the volume back). The process ends once the session is over: after the wake sound of a
/// nap, and a few seconds after a Night timer's suspend (so that a wake-up finds it still
/// there to restore the screen and the volume).
/// Like the tray application it owns Mirl's name on the session bus and answers the control
/// verbs; when another Mirl owns it, that one takes the timer instead.
/// Needs the QApplication (makeApplication). Returns the exit status.
int runTerminalSession(int minutes);

} // namespace mirl
