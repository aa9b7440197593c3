#include "ui/control/ControlView.h"

#include "core/settings/SettingsKeys.h"
#include "tests/support/ControlWorld.h"
#include "ui/control/CountdownRing.h"
#include "ui/control/CountdownSection.h"
#include "ui/control/DetectionSection.h"
#include "ui/control/PhaseBadge.h"
#include "ui/control/StartSection.h"
#include "ui/control/SwitchButton.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

class ControlViewTest : public ::testing::Test {
protected:
    explicit ControlViewTest(TimePoint start = test::dayAt(22, 0)) : world(start) {}

    void makeView(ControlViewActions actions = {{}, {}, [] {}}) {
        view = std::make_unique<ControlView>(world.session, world.settings, world.scheduler, world.scheduler,
                                             std::move(actions));
        view->show();
    }

    QLineEdit& field() { return *view->startSection()->customField(); }
    void type(const QString& text) {
        field().setFocus();
        field().clear();
        QTest::keyClicks(&field(), text);
    }

    test::ControlWorld world;
    std::unique_ptr<ControlView> view;
};

} // namespace

TEST_F(ControlViewTest, ReturnInTheCustomFieldStartsValidDurationsOnly) {
    makeView();
    for (const char* typed : {"0", "1441", "2h", "", "-5", "1.5"}) {
        type(QString::fromUtf8(typed));
        QTest::keyClick(&field(), Qt::Key_Return);
        EXPECT_FALSE(world.timer.isRunning()) << typed;
        EXPECT_EQ(field().text(), QString::fromUtf8(typed)) << "the text stays as typed";
    }
    type(QStringLiteral(" 25 "));
    QTest::keyClick(&field(), Qt::Key_Return);
    ASSERT_TRUE(world.timer.isRunning());
    EXPECT_DOUBLE_EQ(world.timer.totalDuration.get(), 25 * 60.0);
    EXPECT_TRUE(field().text().isEmpty());
    EXPECT_FALSE(view->startSection()->isVisible());
    EXPECT_TRUE(view->countdownSection()->isVisible());
}

TEST_F(ControlViewTest, GoButtonAndPresetsStartTheTimer) {
    makeView();
    type(QStringLiteral("+30"));
    QTest::mouseClick(view->startSection()->goButton(), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(world.timer.totalDuration.get(), 30 * 60.0);

    QTest::mouseClick(view->countdownSection()->cancelButton(), Qt::LeftButton);
    EXPECT_FALSE(world.timer.isRunning());
    EXPECT_TRUE(view->startSection()->isVisible());

    auto* preset = view->findChild<QAbstractButton*>(QStringLiteral("preset90"));
    ASSERT_NE(preset, nullptr);
    QTest::mouseClick(preset, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(world.timer.totalDuration.get(), 90 * 60.0);
}

TEST_F(ControlViewTest, RingShowsTheRemainingTimeAndTheProgress) {
    makeView();
    world.session.startTimer(65);
    CountdownRing& ring = *view->countdownSection()->ring();
    EXPECT_EQ(ring.text(), QStringLiteral("1:05:00"));
    EXPECT_DOUBLE_EQ(ring.progress(), 0.0);
    world.scheduler.advance(5min + 1s);
    EXPECT_EQ(ring.text(), QStringLiteral("59:59"));
    EXPECT_NEAR(ring.progress(), 301.0 / 3900.0, 1e-9);
    world.scheduler.advance(59min + 58s);
    EXPECT_EQ(ring.text(), QStringLiteral("00:01"));
}

class ModeCaptionTest : public ControlViewTest {
protected:
    ModeCaptionTest() : ControlViewTest(test::dayAt(18, 59, 50)) {}
};

TEST_F(ModeCaptionTest, FollowsTheClockInAuto) {
    makeView();
    QLabel& caption = *view->startSection()->modeCaption();
    EXPECT_EQ(caption.text(), QStringLiteral("☀️ Nap (auto, daytime): gentle wake-up, no system sleep."));
    world.scheduler.advance(15s); // 19:00:05
    EXPECT_EQ(caption.text(),
              QStringLiteral("🌙 Night (auto, evening): the computer goes to sleep at the end."));

    world.settings.writeString(keys::modeTimerMode, "nap");
    world.scheduler.advance(15s);
    EXPECT_EQ(caption.text(), QStringLiteral("☀️ Nap: gentle wake-up at the end — no system sleep."));
}

TEST_F(ControlViewTest, DetectionCaptionsSayWhyNothingListens) {
    world.settings.writeBool(keys::privacyNoMicrophone, true);
    makeView();
    DetectionSection& detection = *view->detectionSection();
    EXPECT_EQ(detection.caption()->text(), QStringLiteral("No-microphone mode: audio detection off."));
    world.settings.writeBool(keys::privacyNoMicrophone, false);
    QTest::mouseClick(detection.detectionSwitch(), Qt::LeftButton);
    EXPECT_FALSE(world.session.detectorEnabled.get());
    EXPECT_EQ(detection.caption()->text(), QStringLiteral("Disabled."));
    QTest::keyClick(detection.detectionSwitch(), Qt::Key_Space);
    EXPECT_TRUE(world.session.detectorEnabled.get());
    EXPECT_EQ(detection.caption()->text(), QStringLiteral("Starts with the timer."));
    EXPECT_TRUE(detection.caption()->isVisible());
    EXPECT_FALSE(detection.liveStatus()->isVisible());
}

TEST_F(ControlViewTest, LiveDetectionShowsPhaseLabelConfidenceAndBreathing) {
    makeView();
    DetectionSection& detection = *view->detectionSection();
    world.session.startTimer(30);
    world.scheduler.runDue();
    ASSERT_TRUE(world.session.detectorRunning.get()) << "the detectors start with the timer";
    // What the detectors publish as they listen.
    world.detector.phase.set(SleepPhase::deepAsleep);
    world.detector.topLabel.set("snoring");
    world.detector.topConfidence.set(0.5);
    world.detector.breathHasReading.set(false);
    EXPECT_FALSE(detection.caption()->isVisible());
    EXPECT_TRUE(detection.liveStatus()->isVisible());
    EXPECT_EQ(detection.phaseBadge()->text(), QStringLiteral("Deep"));
    EXPECT_EQ(detection.soundLabel()->text(), QStringLiteral("listening…"));
    EXPECT_TRUE(detection.soundLabel()->font().italic());
    EXPECT_EQ(detection.confidence()->text(), QStringLiteral("50%"));
    EXPECT_FALSE(detection.breathing()->isVisible());

    world.detector.topConfidence.set(0.74);
    world.detector.breathRpm.set(9.6);
    world.detector.breathHasReading.set(true);
    EXPECT_EQ(detection.soundLabel()->text(), QStringLiteral("snoring"));
    EXPECT_FALSE(detection.soundLabel()->font().italic());
    EXPECT_EQ(detection.confidence()->text(), QStringLiteral("74%"));
    EXPECT_TRUE(detection.breathing()->isVisible());
    EXPECT_EQ(detection.breathRate()->text(), QStringLiteral("10 rpm"));
    EXPECT_EQ(detection.breathWord()->text(), QStringLiteral("deep"));
}

TEST_F(ControlViewTest, HeaderButtonsForMissingWindowsAreDisabled) {
    int quits = 0;
    makeView({{}, {}, [&] { ++quits; }});
    EXPECT_FALSE(view->preferencesButton()->isEnabled());
    EXPECT_FALSE(view->annotateButton()->isEnabled());
    EXPECT_EQ(view->preferencesButton()->toolTip(), QStringLiteral("Preferences (Ctrl+,)"));
    QTest::mouseClick(view->quitButton(), Qt::LeftButton);
    EXPECT_EQ(quits, 1);

    int preferences = 0;
    makeView({[&] { ++preferences; }, {}, [] {}});
    EXPECT_TRUE(view->preferencesButton()->isEnabled());
    QTest::mouseClick(view->preferencesButton(), Qt::LeftButton);
    EXPECT_EQ(preferences, 1);
    EXPECT_TRUE(view->footer()->text().startsWith(QStringLiteral("Mirl ")));
}

TEST_F(ControlViewTest, TabWalksThroughTheControlsInReadingOrder) {
    makeView({[] {}, [] {}, [] {}});
    QApplication::setActiveWindow(view.get());
    view->setFocus(); // as a window that opens does
    EXPECT_EQ(QApplication::focusWidget(), &field());
    const std::vector<QString> expected{QStringLiteral("go"),
                                        QStringLiteral("detectionSwitch"),
                                        QStringLiteral("autoFadeSwitch"),
                                        QStringLiteral("manualControls"),
                                        QStringLiteral("preferences"),
                                        QStringLiteral("annotate"),
                                        QStringLiteral("quit"),
                                        QStringLiteral("preset15")};
    for (const QString& name : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), name.toStdString());
    }
    // Space on a focused preset starts its timer, and the keyboard moves on to "Cancel".
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), "preset90");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_DOUBLE_EQ(world.timer.totalDuration.get(), 90 * 60.0);
    EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), "cancel");
}
