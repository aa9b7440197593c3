#include "ui/tray/Popover.h"

#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace mirl;

namespace {

QWidget* content(QLineEdit** field) {
    auto* widget = new QWidget;
    auto* layout = new QVBoxLayout(widget);
    *field = new QLineEdit;
    layout->addWidget(*field);
    widget->setFixedSize(300, 200);
    widget->setFocusProxy(*field);
    return widget;
}

} // namespace

TEST(Popover, EscapeClosesItAndTheTextSurvivesReopening) {
    QLineEdit* field = nullptr;
    Popover popover(content(&field));
    popover.popUp(QRect(100, 0, 24, 24));
    ASSERT_TRUE(popover.isVisible());
    EXPECT_TRUE(popover.windowFlags().testFlag(Qt::FramelessWindowHint));
    QTest::keyClicks(field, QStringLiteral("25"));
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(popover.isVisible());
    popover.popUp(QRect(100, 0, 24, 24));
    EXPECT_EQ(field->text(), QStringLiteral("25"));
    popover.hide();
}

TEST(Popover, OpensBesideTheIconAndTheClosingClickDoesNotReopenIt) {
    QLineEdit* field = nullptr;
    Popover popover(content(&field));
    popover.toggle(QRect(200, 0, 24, 24));
    ASSERT_TRUE(popover.isVisible());
    EXPECT_GT(popover.y(), 24);
    EXPECT_LE(popover.x(), 212);
    EXPECT_GE(popover.x() + popover.width(), 212);

    popover.toggle(QRect(200, 0, 24, 24));
    EXPECT_FALSE(popover.isVisible());

    // A click on the icon closes the open popover (as a click outside it), then reaches the
    // icon right afterwards: that one does not open it again.
    popover.popUp(QRect(200, 0, 24, 24));
    QCursor::setPos(210, 10);
    popover.hide();
    popover.toggle(QRect(200, 0, 24, 24));
    EXPECT_FALSE(popover.isVisible());

    // A click elsewhere closed it: the icon opens it again at once.
    popover.popUp(QRect(200, 0, 24, 24));
    QCursor::setPos(600, 500);
    popover.hide();
    popover.toggle(QRect(200, 0, 24, 24));
    EXPECT_TRUE(popover.isVisible());
    popover.hide();
}
