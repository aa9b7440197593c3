#pragma once

#include <QImage>
#include <QRect>
#include <QWidget>

// A desktop to take screenshots on: a wallpaper under the windows, a settled grab of the
// screen, and saving a part of it where MIRL_SCREENSHOT_DIR says.
namespace mirl::test {

/// A calm night-sky wallpaper over the whole screen, below every other window.
class Wallpaper final : public QWidget {
public:
    Wallpaper();

protected:
    void paintEvent(QPaintEvent* event) override;
};

/// Lets the windows settle and the compositor draw them, then grabs the screen (the pointer
/// parked in a corner, so that nothing shows a hover).
QImage grabScreen();

/// Saves the area of image as name in MIRL_SCREENSHOT_DIR; nothing when it is not set.
void saveShot(const QImage& image, const QRect& area, const char* name);

/// The part of the screen around a window, with room for the desktop around it.
QRect around(const QRect& window, int margin, const QRect& screen);

} // namespace mirl::test
