#include "ui/control/ViewStyle.h"

#include "ui/art/Tones.h"

#include <QApplication>
#include <QFrame>

namespace mirl::viewstyle {

void setInk(QWidget& widget, Ink ink) {
    // From the application's palette, not the widget's, which may carry an earlier ink.
    const QPalette base = QApplication::palette(&widget);
    QColor color = base.color(QPalette::WindowText);
    if (ink == Ink::secondary)
        color = tone::secondary(base);
    else if (ink == Ink::tertiary)
        color = tone::tertiary(base);
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    palette.setColor(QPalette::ButtonText, color);
    widget.setPalette(palette);
}

QLabel* label(const QString& text, int pixelSize, QFont::Weight weight, Ink ink) {
    auto* label = new QLabel(text);
    label->setFont(font(label->font(), pixelSize, weight));
    if (ink != Ink::primary)
        setInk(*label, ink);
    return label;
}

QWidget* separator() {
    auto* line = new QFrame;
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, tone::withAlpha(palette.color(QPalette::WindowText), 0.10));
    line->setPalette(palette);
    return line;
}

} // namespace mirl::viewstyle
