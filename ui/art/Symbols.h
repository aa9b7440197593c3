#pragma once

#include <QColor>
#include <QIcon>
#include <QPainterPath>

class QPainter;
class QRectF;

namespace mirl {

/// The control view's symbols. Where the freedesktop icon theme has a fitting symbolic icon
/// (and it can be drawn) that one is used, so that Mirl matches the desktop; otherwise Mirl
/// draws its own, in the colour given, so that they follow light and dark palettes.
enum class Symbol {
    moonZzz,      // Mirl: a crescent moon with two "z"
    gear,         // preferences
    pencilSquare, // annotate a session
    power,        // quit
    xmarkCircle,  // cancel
    waveform,     // sleep detection
    wandStars,    // auto-fade, autopilot on
    handPoint,    // manual (autopilot off)
    wind,         // breathing
};

/// The symbol as an icon in `color`, from the theme where it has one.
QIcon symbolIcon(Symbol symbol, const QColor& color);

/// Mirl's own drawing of the symbol on a 24 x 24 grid, as one filled shape.
QPainterPath symbolShape(Symbol symbol);

/// Mirl's own drawing of the symbol, filling `box` (square looks best).
void paintSymbol(QPainter& painter, Symbol symbol, const QRectF& box, const QColor& color);

} // namespace mirl
