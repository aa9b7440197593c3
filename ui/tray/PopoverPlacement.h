#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace mirl {

/// Where the popover's top left corner goes: beside the tray icon, on the side away from the
/// screen edge the icon sits on (below an icon at the top, above one at the bottom, to the right
/// of one on a left panel...), centred on it, then kept `margin` inside the available area.
/// Without an icon geometry (empty: the tray host does not tell) the cursor stands in for it.
QPoint popoverPosition(const QRect& iconGeometry, const QPoint& cursor, const QSize& popover,
                       const QRect& screen, const QRect& available, int gap = 6, int margin = 4);

} // namespace mirl
