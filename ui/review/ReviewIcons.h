#pragma once

#include <QColor>
#include <QIcon>

namespace mirl::review {

/// The review window's icons, drawn by Mirl itself so they look the same on every desktop.
/// Standard actions (refresh, play, pause, delete, folder, open) come from the icon theme when
/// it has them.
enum class Glyph {
    moonZzz,   // asleep, "Fell asleep here"
    sun,       // awake, "Woke up here"
    cloudMoon, // calming
    play,
    pause,
    back15,
    forward15,
    refresh,
    trash,
    folder,
    openExternal,
    checkedBox,
    emptyBox,
};

/// The glyph in `colour` (the palette's button text when invalid).
QIcon icon(Glyph glyph, QColor colour = QColor());

} // namespace mirl::review
