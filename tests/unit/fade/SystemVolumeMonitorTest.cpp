#include "fade/SystemVolumeMonitor.h"
#include "fade/SystemAudio.h"
#include "platform/fake/FakeAudioControl.h"
#include "runtime/VirtualScheduler.h"
#include "tests/support/RecordingEventSink.h"

#include <gtest/gtest.h>

#include <thread>

using namespace mirl;

namespace {

class VolumeTest : public ::testing::Test {
protected:
    VolumeTest() {
        monitor.onExternalVolumeChange = [this](int v) { reports.push_back(v); };
    }

    VirtualScheduler scheduler;
    test::RecordingEventSink events;
    FakeAudioControl audio;
    SystemVolumeMonitor monitor{audio, events};
    SystemAudio system{audio, monitor, scheduler, events};
    std::vector<int> reports;
};

} // namespace

TEST_F(VolumeTest, SetVolumeClampsAndLogs) {
    struct Row {
        const char* name;
        int asked;
        int written;
    };
    for (const Row& row : {Row{"above range", 130, 100}, Row{"below range", -4, 0}, Row{"inside", 35, 35}}) {
        SCOPED_TRACE(row.name);
        system.setVolume(row.asked, "manual_slider");
        scheduler.runDue();
        EXPECT_EQ(*audio.deviceVolume(1), row.written);
        EXPECT_EQ(monitor.appAppliedPercent(), row.written);
        const auto applied = events.named("volume_applied").back();
        EXPECT_EQ(applied, (EventPayload{{"value", row.written}, {"source", "manual_slider"}}));
    }
}

TEST_F(VolumeTest, SetVolumeCarriesTheFadeDescription) {
    system.setVolume(40, "autofade", 60, 21);
    scheduler.runDue();
    EXPECT_EQ(events.named("volume_applied").back(),
              (EventPayload{{"value", 40}, {"source", "autofade"}, {"initial", 60}, {"target", 21}}));
    EXPECT_TRUE(events.named("volume_applied").back()["initial"].is_number_integer());
}

TEST_F(VolumeTest, AppliedRecordFollowsWhatTheCallerLogsInTheSameTurn) {
    // A restore writes the volume, then logs its own record; the write's record comes after it.
    system.setVolume(40, "baseline_restore");
    EXPECT_EQ(*audio.deviceVolume(1), 40) << "the write itself is not deferred";
    events.log("baseline_restored", {{"reason", "timer_fired_before_sleep"}, {"volume", 40}});
    EXPECT_TRUE(events.named("volume_applied").empty()) << "logged before the turn ended";
    scheduler.runDue();
    EXPECT_EQ(events.names(), (std::vector<std::string>{"baseline_restored", "volume_applied"}));
}

TEST_F(VolumeTest, ReadsFiftyWhenNothingCanBeRead) {
    audio.outputs[1].volume = 73;
    EXPECT_EQ(system.currentVolume(), 73);
    audio.serverUp = false;
    EXPECT_EQ(system.currentVolume(), 50);
    audio.serverUp = true;
    audio.defaultOutput = 0;
    EXPECT_EQ(system.currentVolume(), 50);
    audio.defaultOutput = 1;
    audio.outputs[1].volume.reset();
    EXPECT_EQ(system.currentVolume(), 50);
}

TEST_F(VolumeTest, WriteWhileTheServerIsAwayIsDroppedButLogged) {
    audio.serverUp = false;
    system.setVolume(20, "autofade");
    scheduler.runDue();
    audio.serverUp = true;
    EXPECT_EQ(*audio.deviceVolume(1), 50);
    EXPECT_EQ(events.named("volume_applied").size(), 1u);
}

TEST_F(VolumeTest, RecordIsWrittenOnTheMainThreadBeforeTheWrite) {
    std::optional<int> recordAtWrite;
    // The write happens on the worker; the monitor's record must already be in place then.
    audio.listenToVolume(1, [&] { recordAtWrite = monitor.appAppliedPercent(); }).handle.release();
    std::thread worker([&] { system.setVolume(33, "autofade"); });
    while (scheduler.pendingCount() == 0) {
        std::this_thread::yield();
    }
    scheduler.runDue(); // the main thread records
    worker.join();
    EXPECT_EQ(recordAtWrite, 33);
    scheduler.runDue();
    EXPECT_EQ(events.named("volume_applied").size(), 1u);
}

TEST_F(VolumeTest, MonitorStartsOnceAndLogsTheDevice) {
    audio.outputs[1].volume = 60;
    monitor.start();
    monitor.start();
    ASSERT_EQ(events.named("volume_monitor_started").size(), 1u);
    EXPECT_EQ(events.named("volume_monitor_started")[0],
              (EventPayload{{"device", 1}, {"initial_percent", 60}}));
    EXPECT_EQ(audio.volumeListenerCount(), 1u);
}

TEST_F(VolumeTest, ToleranceAndReferenceRules) {
    audio.outputs[1].volume = 36;
    monitor.start();
    system.setVolume(34, "autofade"); // own write: echo ignored
    EXPECT_TRUE(reports.empty());
    audio.changeVolume(1, 39); // 5 points: not an outside change
    EXPECT_TRUE(reports.empty());
    audio.changeVolume(1, 41); // 7 points from 34: reported, new reference
    EXPECT_EQ(reports, std::vector<int>{41});
    audio.changeVolume(1, 45); // 4 from the new reference
    EXPECT_EQ(reports, std::vector<int>{41});
    audio.changeVolume(1, 47); // 6 from 41
    EXPECT_EQ(reports, (std::vector<int>{41, 47}));
    EXPECT_EQ(monitor.appAppliedPercent(), 47);
}

TEST_F(VolumeTest, OwnWriteIsNeverReportedEvenWhenFar) {
    audio.outputs[1].volume = 80;
    monitor.start();
    system.setVolume(20, "baseline_restore");
    EXPECT_TRUE(reports.empty());
}

TEST_F(VolumeTest, UnreadableStartReportsTheFirstChangeWhateverItsValue) {
    audio.volumeReadable = false;
    monitor.start();
    EXPECT_EQ(events.named("volume_monitor_started")[0],
              (EventPayload{{"device", 1}, {"initial_percent", -1}}));
    audio.volumeReadable = true;
    audio.changeVolume(1, 51);
    EXPECT_EQ(reports, std::vector<int>{51});
}

TEST_F(VolumeTest, UnreadableVolumeInANotificationIsIgnored) {
    monitor.start();
    audio.volumeReadable = false;
    audio.changeVolume(1, 90);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(monitor.appAppliedPercent(), 50);
}

TEST_F(VolumeTest, NoDeviceAtStart) {
    audio.serverUp = false;
    monitor.start();
    EXPECT_EQ(events.names(),
              (std::vector<std::string>{"volume_monitor_no_device", "volume_monitor_started"}));
    EXPECT_EQ(events.named("volume_monitor_started")[0],
              (EventPayload{{"device", 0}, {"initial_percent", -1}}));
    audio.serverUp = true;
    audio.switchDefaultOutput(1); // the server came back
    EXPECT_EQ(monitor.device(), 1u);
    audio.changeVolume(1, 80);
    EXPECT_EQ(reports, std::vector<int>{80});
}

TEST_F(VolumeTest, ListenerFailureIsLogged) {
    audio.listenStatus = 3;
    monitor.start();
    EXPECT_EQ(events.named("volume_monitor_listener_failed")[0], (EventPayload{{"status", 3}}));
    EXPECT_EQ(monitor.device(), 0u);
}

TEST_F(VolumeTest, DeviceChangeSequence) {
    audio.outputs[2] = {70};
    audio.outputs[3] = {std::nullopt}; // a device without volume
    audio.outputs[1].volume = 30;
    monitor.start();
    EXPECT_EQ(monitor.device(), 1u);

    audio.switchDefaultOutput(2);
    EXPECT_EQ(monitor.device(), 2u);
    EXPECT_EQ(monitor.appAppliedPercent(), 70);
    EXPECT_EQ(events.named("volume_monitor_device_changed").back(),
              (EventPayload{{"device", 2}, {"percent", 70}}));
    EXPECT_TRUE(reports.empty()) << "the switch itself is no outside change";
    audio.changeVolume(1, 90); // the old device is no longer listened to
    EXPECT_TRUE(reports.empty());
    audio.changeVolume(2, 50);
    EXPECT_EQ(reports, std::vector<int>{50});

    events.clear();
    audio.switchDefaultOutput(3);
    EXPECT_EQ(events.names(), (std::vector<std::string>{"volume_monitor_unsupported_device",
                                                        "volume_monitor_device_changed"}));
    EXPECT_EQ(events.named("volume_monitor_unsupported_device")[0], (EventPayload{{"device", 3}}));
    EXPECT_EQ(events.named("volume_monitor_device_changed")[0],
              (EventPayload{{"device", 0}, {"percent", -1}}));
    audio.changeVolume(2, 10);
    EXPECT_EQ(reports, std::vector<int>{50}) << "no listener until a later device change";

    audio.switchDefaultOutput(2);
    audio.changeVolume(2, 30);
    EXPECT_EQ(reports, (std::vector<int>{50, 30}));
}

TEST_F(VolumeTest, StopForgetsAndIgnores) {
    monitor.start();
    monitor.stop();
    EXPECT_FALSE(monitor.appAppliedPercent());
    EXPECT_EQ(audio.volumeListenerCount(), 0u);
    audio.changeVolume(1, 90);
    audio.switchDefaultOutput(1);
    EXPECT_TRUE(reports.empty());
    EXPECT_TRUE(events.named("volume_monitor_device_changed").empty());
    monitor.stop(); // nothing when not active
    // setVolume records between sessions too.
    system.setVolume(12, "baseline_restore");
    EXPECT_EQ(monitor.appAppliedPercent(), 12);
}
