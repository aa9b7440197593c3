#pragma once

#include "core/settings/Settings.h"
#include "detect/SleepDetector.h"
#include "platform/fake/FakeActivityProbes.h"
#include "platform/fake/MemorySettingsStore.h"
#include "platform/linux/PulseAudioControl.h"
#include "platform/linux/PulseCaptureEngine.h"
#include "platform/linux/PulseInputDevices.h"
#include "platform/linux/QtScheduler.h"
#include "runtime/Console.h"
#include "runtime/SerialQueue.h"
#include "tests/support/RecordingEventSink.h"

#include <memory>

namespace mirl::test {

/// A SleepDetector on the real Linux pieces: PulseAudio capture and input devices, the FFmpeg
/// recorder, the three serial queues and the feature classifier, on the Qt scheduler (a
/// QCoreApplication must exist). Its events go to `events` unless another sink is given. The
/// idle probe is a fake (no display in the test environment).
struct LiveDetector {
    explicit LiveDetector(EventSink* sink = nullptr);
    ~LiveDetector();

    SystemClock clock;
    QtScheduler scheduler;
    RecordingEventSink events;
    MemorySettingsStore store;
    Settings settings{store};
    RecordingConsole console;
    PulseAudioControl audio{scheduler};
    PulseInputDevices inputs{audio};
    PulseCaptureEngine engine{scheduler};
    FakeActivityProbes activity;
    SerialQueue analysis{"Mirl.SleepDetector.analysis"};
    SerialQueue band{"Mirl.BreathBandDetector"};
    SerialQueue recorder{"Mirl.SleepDetector.recorder"};
    std::unique_ptr<SleepDetector> detector;
};

} // namespace mirl::test
