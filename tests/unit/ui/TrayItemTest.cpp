#include "ui/tray/TrayItem.h"

#include "tests/support/ControlWorld.h"
#include "ui/tray/TrayIconArt.h"

#include <QAction>

#include <gtest/gtest.h>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

class TrayItemTest : public ::testing::Test {
protected:
    TrayItemTest() {
        actions.startTimer = [this](int minutes) {
            started.push_back(minutes);
            timer.start(minutes);
        };
        actions.cancelSession = [this] {
            ++cancels;
            timer.cancel();
        };
        actions.quit = [] {};
        tray = std::make_unique<TrayItem>(timer, actions);
    }

    QAction* action(const QString& text) {
        for (QAction* a : tray->menu().actions())
            if (a->text() == text)
                return a;
        ADD_FAILURE() << "no menu item " << text.toStdString();
        return nullptr;
    }

    test::ControlWorld world;
    SleepTimerModel& timer = world.timer;
    VirtualScheduler& scheduler = world.scheduler;
    TrayActions actions;
    std::unique_ptr<TrayItem> tray;
    std::vector<int> started;
    int cancels = 0;
};

} // namespace

TEST_F(TrayItemTest, ShowsTheShortRemainingTimeWhileATimerRuns) {
    EXPECT_EQ(tray->countdownText(), QString());
    EXPECT_EQ(tray->toolTip(), QStringLiteral("Mirl"));

    timer.start(90);
    EXPECT_EQ(tray->countdownText(), QStringLiteral("90:00"));
    EXPECT_EQ(tray->toolTip(), QStringLiteral("Mirl — 90:00 left"));
    scheduler.advance(1s);
    EXPECT_EQ(tray->countdownText(), QStringLiteral("89:59"));
    scheduler.advance(10s);
    EXPECT_EQ(tray->countdownText(), QString::fromStdString(timer.shortRemainingText()));
    EXPECT_EQ(tray->countdownText(), QStringLiteral("89:49"));
    EXPECT_EQ(tray->toolTip(), QStringLiteral("Mirl — 89:49 left"));

    timer.cancel();
    EXPECT_EQ(tray->countdownText(), QString());
    EXPECT_EQ(tray->toolTip(), QStringLiteral("Mirl"));
}

TEST_F(TrayItemTest, MenuOffersThePresetsAndCancelOnlyWhileRunning) {
    QAction* cancel = action(QStringLiteral("Cancel the timer"));
    ASSERT_NE(cancel, nullptr);
    EXPECT_FALSE(cancel->isEnabled());

    action(QStringLiteral("Sleep in 45 minutes"))->trigger();
    EXPECT_EQ(started, std::vector<int>{45});
    EXPECT_TRUE(cancel->isEnabled());
    cancel->trigger();
    EXPECT_EQ(cancels, 1);
    EXPECT_FALSE(cancel->isEnabled());

    // Windows that do not exist yet are offered but disabled.
    EXPECT_FALSE(action(QStringLiteral("Preferences…"))->isEnabled());
    EXPECT_FALSE(action(QStringLiteral("Annotate a session…"))->isEnabled());
    EXPECT_TRUE(action(QStringLiteral("Quit Mirl"))->isEnabled());
}

namespace {

int inkedPixels(const QImage& image) {
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            inked += qAlpha(image.pixel(x, y)) > 128;
    return inked;
}

} // namespace

TEST(TrayIconArt, IdleShowsMirlsIconAndEveryCountdownDrawsItsText) {
    const QImage moon = trayImage(22);
    EXPECT_GT(inkedPixels(moon), 22 * 22 / 3) << "the built-in icon is missing";
    const QImage countdown = trayImage(22, QStringLiteral("29:59"));
    EXPECT_NE(moon, countdown);
    EXPECT_NE(countdown, trayImage(22, QStringLiteral("29:58")));
    for (const QString& text : {QStringLiteral("0:05"), QStringLiteral("1440:00")})
        EXPECT_GT(inkedPixels(trayImage(16, text)), 10) << text.toStdString();
}
