#pragma once

#include <QFont>
#include <QLabel>
#include <QString>

// Small helpers shared by the control view's sections: text sizes and weights as the view
// lays them out (in pixels, like its frames), and quiet colours.
namespace mirl::viewstyle {

inline QFont font(const QFont& base, int pixelSize, QFont::Weight weight = QFont::Normal,
                  bool italic = false) {
    QFont f = base;
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
    f.setItalic(italic);
    return f;
}

enum class Ink { primary, secondary, tertiary };

/// Sets the widget's text colour to the primary ink or one of the quieter ones.
void setInk(QWidget& widget, Ink ink);

/// A label of the given size, weight and ink.
QLabel* label(const QString& text, int pixelSize, QFont::Weight weight = QFont::Normal,
              Ink ink = Ink::primary);

/// A thin horizontal rule between sections.
QWidget* separator();

} // namespace mirl::viewstyle
