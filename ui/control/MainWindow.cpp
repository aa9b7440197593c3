#include "ui/control/MainWindow.h"

#include "ui/control/ControlView.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>

namespace mirl {

MainWindow::MainWindow(ControlView* view) : QWidget(nullptr, Qt::Window), view_(view) {
    setObjectName(QStringLiteral("MirlMainWindow"));
    setWindowTitle(QStringLiteral("Mirl"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // Sized to the content, which grows and shrinks with the timer's state and the disclosure.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(view_);
    view_->setMinimumSize(320, 500);
}

void MainWindow::present() {
    if (!placed_) {
        // The window manager usually places new windows; without one, start in the middle of
        // the screen the user is on rather than in its corner.
        placed_ = true;
        QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (screen) {
            adjustSize();
            move(screen->availableGeometry().center() - rect().center());
        }
    }
    show();
    raise();
    activateWindow();
    view_->setFocus(Qt::ActiveWindowFocusReason);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && !quitOnClose_) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (quitOnClose_)
        quitOnClose_();
}

} // namespace mirl
