#include "ui/tray/PopoverPlacement.h"

#include <algorithm>

namespace mirl {

QPoint popoverPosition(const QRect& iconGeometry, const QPoint& cursor, const QSize& popover,
                       const QRect& screen, const QRect& available, int gap, int margin) {
    const QRect anchor = iconGeometry.isEmpty() ? QRect(cursor, QSize(1, 1)) : iconGeometry;
    const int toTop = anchor.top() - screen.top();
    const int toBottom = screen.bottom() - anchor.bottom();
    const int toLeft = anchor.left() - screen.left();
    const int toRight = screen.right() - anchor.right();
    const int nearest = std::min({toTop, toBottom, toLeft, toRight});

    QPoint at;
    if (nearest == toTop || nearest == toBottom) {
        at.setX(anchor.center().x() - popover.width() / 2);
        at.setY(nearest == toTop ? anchor.bottom() + 1 + gap : anchor.top() - gap - popover.height());
    } else {
        at.setY(anchor.center().y() - popover.height() / 2);
        at.setX(nearest == toLeft ? anchor.right() + 1 + gap : anchor.left() - gap - popover.width());
    }

    const QRect area = available.isEmpty() ? screen : available;
    const int maxX = area.right() + 1 - margin - popover.width();
    const int maxY = area.bottom() + 1 - margin - popover.height();
    at.setX(std::max(area.left() + margin, std::min(at.x(), maxX)));
    at.setY(std::max(area.top() + margin, std::min(at.y(), maxY)));
    return at;
}

} // namespace mirl
