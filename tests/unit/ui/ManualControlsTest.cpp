#include "ui/control/ManualControls.h"

#include "tests/support/ControlWorld.h"
#include "ui/control/AutopilotButton.h"
#include "ui/control/ControlTexts.h"

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

class ManualControlsTest : public ::testing::Test {
protected:
    ManualControlsTest() {
        world.sim.audio.outputs[world.sim.audio.defaultOutput].volume = 60;
        controls.setExpanded(true);
        controls.show();
    }

    QSlider& ambiance() { return *controls.ambianceSlider(); }

    /// A drag of the ambiance slider's handle by dx pixels, as a hand does it.
    void dragAmbiance(int dx) {
        QStyleOptionSlider option;
        option.initFrom(&ambiance());
        option.orientation = Qt::Horizontal;
        option.minimum = ambiance().minimum();
        option.maximum = ambiance().maximum();
        option.sliderPosition = ambiance().value();
        option.sliderValue = ambiance().value();
        const QPoint handle =
            ambiance()
                .style()
                ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &ambiance())
                .center();
        QTest::mousePress(&ambiance(), Qt::LeftButton, {}, handle);
        for (int step = 1; step <= 4; ++step) {
            QMouseEvent move(QEvent::MouseMove, QPointF(handle + QPoint(dx * step / 4, 0)),
                             ambiance().mapToGlobal(QPointF(handle + QPoint(dx * step / 4, 0))), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&ambiance(), &move);
        }
        QTest::mouseRelease(&ambiance(), Qt::LeftButton, {}, handle + QPoint(dx, 0));
    }

    test::ControlWorld world;
    ManualControls controls{world.session};
};

} // namespace

TEST_F(ManualControlsTest, SlidersFollowTheFadeWithoutRecordsAndADragPausesTheAutopilot) {
    world.session.startTimer(30);
    world.scheduler.advance(5min);
    const double faded = world.session.ambiance.get();
    ASSERT_GT(faded, 0.05) << "the fade engine moved the ambiance";
    EXPECT_EQ(ambiance().value(), std::lround(faded * ManualControls::kAmbianceSteps));
    EXPECT_EQ(controls.ambianceValue()->text().toStdString(), controltext::percent(faded));
    EXPECT_EQ(controls.volumeSlider()->value(), std::lround(world.session.volume.get()));
    EXPECT_LT(world.session.volume.get(), 60.0) << "the fade engine lowered the volume";
    EXPECT_TRUE(world.recordsNamed("ambiance_changed").empty());
    EXPECT_TRUE(world.recordsNamed("volume_changed").empty());
    EXPECT_FALSE(world.fader.ambianceResumeAt().has_value());

    dragAmbiance(-30);
    const auto changes = world.recordsNamed("ambiance_changed");
    ASSERT_FALSE(changes.empty()) << "a drag is the user's";
    EXPECT_EQ(changes.back()["manual"], true);
    EXPECT_NEAR(changes.back()["ambiance"].get<double>(), ambiance().value() / 1000.0, 1e-9);
    EXPECT_LT(ambiance().value(), std::lround(faded * ManualControls::kAmbianceSteps));
    ASSERT_TRUE(world.fader.ambianceResumeAt().has_value()) << "the ambiance autopilot pauses";
    EXPECT_TRUE(world.fader.ambianceAutopilot.get());

    // While paused, the engine leaves the user's value alone.
    const double held = world.session.ambiance.get();
    world.scheduler.advance(60s);
    EXPECT_DOUBLE_EQ(world.session.ambiance.get(), held);
    EXPECT_EQ(world.recordsNamed("ambiance_changed").size(), changes.size());
}

TEST_F(ManualControlsTest, KeyboardMovesAreTheUsersToo) {
    world.session.startTimer(30);
    world.scheduler.advance(2min);
    controls.volumeSlider()->setFocus();
    const int before = controls.volumeSlider()->value();
    QTest::keyClick(controls.volumeSlider(), Qt::Key_PageDown);
    const auto changes = world.recordsNamed("volume_changed");
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0]["volume"], before - 10);
    EXPECT_EQ(changes[0]["manual"], true);
    EXPECT_EQ(*world.sim.audio.outputs[world.sim.audio.defaultOutput].volume, before - 10);
    EXPECT_TRUE(world.fader.volumeResumeAt().has_value());
}

TEST_F(ManualControlsTest, WithoutASessionTheVolumeSliderSetsTheSystemVolume) {
    controls.volumeSlider()->setFocus();
    QTest::keyClick(controls.volumeSlider(), Qt::Key_End);
    EXPECT_EQ(*world.sim.audio.outputs[world.sim.audio.defaultOutput].volume, 100);
    EXPECT_DOUBLE_EQ(world.fader.volume.get(), 100.0);
    EXPECT_EQ(controls.volumeValue()->text(), QStringLiteral("100"));
}

TEST_F(ManualControlsTest, AutopilotButtonsAndResetGoToTheSession) {
    EXPECT_EQ(controls.ambianceAutopilot()->toolTip(), QStringLiteral("Autopilot active"));
    QTest::mouseClick(controls.ambianceAutopilot(), Qt::LeftButton);
    EXPECT_FALSE(world.fader.ambianceAutopilot.get());
    EXPECT_EQ(controls.ambianceAutopilot()->toolTip(), QStringLiteral("Manual"));
    QTest::mouseClick(controls.volumeAutopilot(), Qt::LeftButton);
    EXPECT_FALSE(world.fader.volumeAutopilot.get());
    QTest::mouseClick(controls.ambianceAutopilot(), Qt::LeftButton);
    EXPECT_TRUE(world.fader.ambianceAutopilot.get());

    controls.ambianceSlider()->setFocus();
    QTest::keyClick(controls.ambianceSlider(), Qt::Key_PageUp);
    EXPECT_GT(world.session.ambiance.get(), 0.0);
    QTest::mouseClick(controls.resetButton(), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(world.session.ambiance.get(), 0.0);
    EXPECT_EQ(controls.ambianceSlider()->value(), 0);
    EXPECT_EQ(controls.ambianceValue()->text(), QStringLiteral("0%"));
}

TEST_F(ManualControlsTest, CollapsedAtFirstAndToggledByItsDisclosure) {
    ManualControls fresh(world.session);
    fresh.show();
    EXPECT_FALSE(fresh.isExpanded());
    EXPECT_FALSE(fresh.ambianceSlider()->isVisible());
    QTest::mouseClick(fresh.disclosure(), Qt::LeftButton);
    EXPECT_TRUE(fresh.isExpanded());
    EXPECT_TRUE(fresh.ambianceSlider()->isVisible());
    QTest::keyClick(fresh.disclosure(), Qt::Key_Space);
    EXPECT_FALSE(fresh.isExpanded());
}
