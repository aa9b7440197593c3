#include "ui/tray/Popover.h"

#include <QApplication>
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
    // The click on the icon that closed the popover reaches the icon right afterwards.
    popover.hide();
    popover.toggle(QRect(200, 0, 24, 24));
    EXPECT_FALSE(popover.isVisible());
}
