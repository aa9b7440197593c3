#pragma once

#include <QColor>
#include <QPalette>

// The few colour roles the views use beyond the palette's own, derived from it so that light
// and dark desktops both work.
namespace mirl::tone {

inline QColor withAlpha(QColor color, qreal alpha) {
    color.setAlphaF(static_cast<float>(alpha));
    return color;
}

/// Text of lesser importance (captions, values).
inline QColor secondary(const QPalette& palette) {
    return withAlpha(palette.color(QPalette::WindowText), 0.62);
}

/// Text and symbols that should stay quiet (header buttons, footer, hints).
inline QColor tertiary(const QPalette& palette) {
    return withAlpha(palette.color(QPalette::WindowText), 0.40);
}

inline QColor accent(const QPalette& palette) {
    return palette.color(QPalette::Highlight);
}

inline bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

} // namespace mirl::tone
