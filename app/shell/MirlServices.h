#pragma once

#include "core/session/AlertPanel.h"
#include "core/session/SessionEngines.h"
#include "core/settings/Settings.h"
#include "journal/SessionLogger.h"
#include "platform/RestoreState.h"
#include "platform/linux/CrashRecovery.h"
#include "platform/linux/InstalledResources.h"
#include "platform/linux/LinuxActivityProbes.h"
#include "platform/linux/LogindPower.h"
#include "platform/linux/LogindSleepWatch.h"
#include "platform/linux/PulseAudioControl.h"
#include "platform/linux/PulseAudioPlayer.h"
#include "platform/linux/PulseCaptureEngine.h"
#include "platform/linux/PulseInputDevices.h"
#include "platform/linux/QSettingsStore.h"
#include "platform/linux/QtScheduler.h"
#include "platform/linux/SystemdPower.h"
#include "runtime/Clock.h"
#include "runtime/Console.h"
#include "runtime/SerialQueue.h"
#include "ui/screen/ScreenOutputs.h"

#include <memory>

namespace mirl {

/// Everything one Mirl process runs on, wired once: the settings, the session journal, the
/// sound server and the microphone, the probes, the screen outputs, suspend and the system's
/// sleep and wake through logind, and the session engines with their orchestration. Its construction is the
/// launch: old session files are pruned and whatever a previous process left changed (volume,
/// backlight, gamma, night light) is put back before anything else touches it; what cannot be
/// put back yet stays recorded (the volume goes back when the sound server returns).
///
/// The pre-sleep panel comes from the caller (the tray application's window, or the
/// terminal's). Thread rule: main thread, with a QApplication (or QGuiApplication).
class MirlServices {
public:
    explicit MirlServices(AlertPanel& alertPanel);
    ~MirlServices();
    MirlServices(const MirlServices&) = delete;
    MirlServices& operator=(const MirlServices&) = delete;

    SystemClock clock;
    QtScheduler scheduler;
    StderrConsole console;
    QSettingsStore store;
    Settings settings{store};
    SessionLogger logger;
    PulseAudioControl audio;
    LinuxActivityProbes probes;
    std::unique_ptr<RestoreState> restoreState;
    ScreenOutputs screen;
    SystemdPower systemctl;
    LogindPower power{systemctl, console};
    PulseAudioPlayerFactory players{scheduler};
    InstalledResources resources;
    PulseCaptureEngine microphone{scheduler};
    PulseInputDevices inputs{audio};
    SerialQueue analysisQueue{"Mirl.SleepDetector.analysis"};
    SerialQueue bandQueue{"Mirl.BreathBandDetector"};
    SerialQueue recorderQueue{"Mirl.SleepDetector.recorder"};
    SessionEngines engines;
    LogindSleepWatch sleepWatch;
    std::unique_ptr<CrashRecovery> recovery; // none without a restore state file

    SessionOrchestrator& orchestrator() { return engines.orchestrator; }
};

} // namespace mirl
