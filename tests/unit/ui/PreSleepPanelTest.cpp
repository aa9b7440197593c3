#include "ui/alert/PreSleepPanel.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace mirl;

namespace {

QPushButton* button(QWidget* window, const char* name) {
    auto* found = window->findChild<QPushButton*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

bool showsText(QWidget* window, const QString& text) {
    for (QLabel* label : window->findChildren<QLabel*>())
        if (label->text() == text)
            return true;
    return false;
}

} // namespace

TEST(PreSleepPanel, FloatsAboveWithoutTakingFocus) {
    PreSleepPanel panel;
    EXPECT_EQ(panel.window(), nullptr);
    panel.open();
    QWidget* window = panel.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->size(), QSize(340, 150));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Mirl"));
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(window->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_FALSE(window->isActiveWindow());
    for (QPushButton* b : window->findChildren<QPushButton*>())
        EXPECT_EQ(b->focusPolicy(), Qt::NoFocus) << b->text().toStdString();
    EXPECT_TRUE(showsText(window, QStringLiteral("Mirl will soon put the computer to sleep")));
    panel.close();
}

TEST(PreSleepPanel, ShowsTheCountdownItIsGiven) {
    PreSleepPanel panel;
    panel.setCountdownText("sleep in 0:59"); // closed: nothing to show it in
    panel.open();
    panel.setCountdownText("sleep in 1:00");
    EXPECT_TRUE(showsText(panel.window(), QStringLiteral("sleep in 1:00")));
    panel.setCountdownText("sleep in 0:59");
    EXPECT_TRUE(showsText(panel.window(), QStringLiteral("sleep in 0:59")));
}

TEST(PreSleepPanel, ButtonsReportTheirChoiceAndMayCloseThePanelFromTheirCall) {
    PreSleepPanel panel;
    std::vector<int> extended;
    int sleepNow = 0;
    panel.onExtend = [&](int minutes) {
        extended.push_back(minutes);
        panel.close(); // as the alert controller does
    };
    panel.onSleepNow = [&] {
        ++sleepNow;
        panel.close();
    };
    for (const char* name : {"extend10", "extend20", "extend30"}) {
        panel.open();
        QPointer<QWidget> window = panel.window();
        QTest::mouseClick(button(window, name), Qt::LeftButton);
        EXPECT_EQ(panel.window(), nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(window.isNull()) << name;
    }
    EXPECT_EQ(extended, (std::vector<int>{10, 20, 30}));
    panel.open();
    QTest::mouseClick(button(panel.window(), "sleepNow"), Qt::LeftButton);
    EXPECT_EQ(sleepNow, 1);
    EXPECT_EQ(panel.window(), nullptr);
}

TEST(PreSleepPanel, EveryOpenBuildsAFreshWindow) {
    PreSleepPanel panel;
    panel.open();
    QPointer<QWidget> first = panel.window();
    panel.open();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(panel.window(), nullptr);
    EXPECT_TRUE(panel.window()->isVisible());
}
