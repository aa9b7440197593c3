#include "ui/tray/Popover.h"

#include "ui/art/WindowLook.h"
#include "ui/tray/PopoverPlacement.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace mirl {

namespace {

// A click on the tray icon that closes the popover (a click outside it) arrives at the icon right
// afterwards, and must not open it again.
constexpr qint64 kReopenGuardMs = 300;
constexpr int kFrame = 1;

} // namespace

Popover::Popover(QWidget* content)
    : QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint), content_(content) {
    setObjectName(QStringLiteral("MirlPopover"));
    setWindowTitle(QStringLiteral("Mirl"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kFrame, kFrame, kFrame, kFrame);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(content_);
}

void Popover::toggle(const QRect& iconGeometry) {
    if (isVisible()) {
        hide();
        return;
    }
    if (closedOverIcon_ && hiddenAt_.isValid() && hiddenAt_.elapsed() < kReopenGuardMs)
        return;
    popUp(iconGeometry);
}

void Popover::popUp(const QRect& iconGeometry) {
    iconGeometry_ = iconGeometry;
    cursor_ = QCursor::pos();
    // Translucency is a property of the native window: decided once, before it exists.
    if (!testAttribute(Qt::WA_WState_Created))
        translucent_ = useTranslucentFrame(*this);
    adjustSize();
    place();
    show();
    raise();
    activateWindow();
    if (!focusWidget() || !focusWidget()->isVisible())
        content_->setFocus(Qt::PopupFocusReason);
}

void Popover::place() {
    const QPoint probe = iconGeometry_.isEmpty() ? cursor_ : iconGeometry_.center();
    QScreen* screen = QGuiApplication::screenAt(probe);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    move(popoverPosition(iconGeometry_, cursor_, size(), screen->geometry(), screen->availableGeometry()));
}

void Popover::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Popover::hideEvent(QHideEvent* event) {
    hiddenAt_.start();
    // Where the host does not say where the icon is, any click may have been on it.
    closedOverIcon_ = iconGeometry_.isEmpty() || iconGeometry_.contains(QCursor::pos());
    QWidget::hideEvent(event);
}

void Popover::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The content grows and shrinks with the timer's state; stay beside the icon.
    if (isVisible())
        place();
}

void Popover::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor border = palette().color(QPalette::WindowText);
    border.setAlphaF(0.18f);
    paintWindowCard(painter, rect(), palette().color(QPalette::Window), border, translucent_);
}

} // namespace mirl
