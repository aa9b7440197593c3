#pragma once

#include <QIcon>

namespace mirl {

/// Mirl's icon (the moon on a night-blue disc): the icon theme's "mirl" where Mirl is
/// installed, else the copy built into the program.
QIcon appIcon();

} // namespace mirl
