#pragma once

#include <QElapsedTimer>
#include <QPoint>
#include <QRect>
#include <QWidget>

namespace mirl {

/// The tray item's window: frameless, placed by the icon's geometry (else at the cursor) and
/// kept on the screen, closed by Escape or by a click anywhere else. It keeps its content
/// while closed, so a half-typed duration survives closing and reopening.
class Popover final : public QWidget {
public:
    /// Takes ownership of content.
    explicit Popover(QWidget* content);

    /// Opens at the icon, or closes when open. The click on the icon that closed the popover
    /// (it counts as a click elsewhere) does not open it again.
    void toggle(const QRect& iconGeometry);
    void popUp(const QRect& iconGeometry);

    QWidget* content() const { return content_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void place();

    QWidget* content_;
    QRect iconGeometry_;
    QPoint cursor_;
    QElapsedTimer hiddenAt_;
    bool closedOverIcon_ = false;
    bool translucent_ = false;
};

} // namespace mirl
