#pragma once

#include "platform/OverlaySurfaces.h"

#include <QWidget>

namespace mirl {

/// One overlay window: frameless, above everything (bypassing the window manager, so
/// override-redirect on X11), transparent for input (an empty input shape: clicks pass
/// through), never focused, translucent; painted with the orange layer below the black one.
class OverlayWindow final : public QWidget {
public:
    explicit OverlayWindow(const QRect& geometry);

    void setOpacities(float orange, float dark);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    float orange_ = 0;
    float dark_ = 0;
};

} // namespace mirl
