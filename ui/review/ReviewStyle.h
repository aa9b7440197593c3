#pragma once

#include <QColor>
#include <QFont>

namespace mirl::review {

// The review window's colours and type: the system's palette where it has the colour, these
// where a colour carries a meaning (asleep indigo, awake orange, calming yellow).
inline QColor indigo() {
    return QColor(88, 86, 214);
}
inline QColor orange() {
    return QColor(255, 149, 0);
}
inline QColor yellow() {
    return QColor(230, 180, 0);
}
inline QColor cyan() {
    return QColor(50, 173, 230);
}
inline QColor green() {
    return QColor(52, 199, 89);
}
inline QColor red() {
    return QColor(255, 59, 48);
}
inline QColor grey() {
    return QColor(142, 142, 147);
}

inline QColor withAlpha(QColor colour, double alpha) {
    colour.setAlphaF(static_cast<float>(alpha));
    return colour;
}

/// A font of the given size (and weight), based on the application's. Sizes are the design's
/// points of 1/96 inch (a 12-point id is 12 pixels on a 96-dpi screen, 9 typographic points).
inline QFont sizedFont(double points, QFont::Weight weight = QFont::Normal, bool monospaced = false) {
    QFont font;
    if (monospaced) {
        font.setFamily(QStringLiteral("monospace"));
        font.setStyleHint(QFont::Monospace);
    }
    font.setPointSizeF(points * 0.75);
    font.setWeight(weight);
    return font;
}

} // namespace mirl::review
