#pragma once

class QApplication;

namespace mirl {

/// `mirl` without a command: the tray application. The bus name is claimed first (a second
/// launch only brings the running Mirl forward), then the launch of the services (pruning, the
/// put-back of what a process that died mid-fade left changed), then the tray item and, as the
/// settings and the desktop ask, the main window. Returns the exit status.
int runTrayApplication(QApplication& app);

} // namespace mirl
