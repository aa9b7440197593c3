#pragma once

namespace mirl {

/// Whether the command line asks for the preferences window ("mirl --preferences").
bool wantsPreferences(int argc, char** argv);

/// Opens the preferences window in this process and runs until it is closed; the exit status.
int runPreferencesWindow(int argc, char** argv);

} // namespace mirl
