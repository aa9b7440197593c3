#pragma once

#include "core/session/AlertPanel.h"
#include "core/session/PreSleepAlertController.h"
#include "core/session/SessionOrchestrator.h"
#include "core/settings/Settings.h"
#include "core/timer/SleepTimerModel.h"
#include "detect/SleepDetector.h"
#include "detect/SoundClassifier.h"
#include "fade/AutoFader.h"
#include "fade/BaselineStore.h"
#include "fade/BrightnessController.h"
#include "fade/GammaController.h"
#include "fade/NightShiftController.h"
#include "fade/ScreenOverlayController.h"
#include "fade/SystemAudio.h"
#include "fade/SystemVolumeMonitor.h"
#include "fade/WakeSound.h"
#include "journal/SessionLogger.h"
#include "platform/ActivityProbes.h"
#include "platform/AudioControl.h"
#include "platform/AudioFileWriter.h"
#include "platform/AudioPlayer.h"
#include "platform/CaptureEngine.h"
#include "platform/InputDevices.h"
#include "platform/OutputPlaybackProbe.h"
#include "platform/Power.h"
#include "platform/Resources.h"
#include "platform/RestoreState.h"
#include "runtime/Clock.h"
#include "runtime/Console.h"
#include "runtime/Executor.h"
#include "runtime/Scheduler.h"

namespace mirl {

/// Every engine of a session (the microphone detector included), built once over the platform
/// pieces and wired to the session orchestration: the real application builds it over the Linux backends, the
/// simulator and the scenario tests over the fakes. The screen controllers come from outside because the
/// application's screen outputs own them (with their quit hooks).
/// Thread rule: main thread; construct and destroy there.
class SessionEngines {
public:
    struct Platform {
        Clock& clock;
        Scheduler& scheduler;
        Settings& settings;
        SessionLogger& logger;
        Console& console;
        AudioControl& audio;
        ActivityProbes& probes;
        Power& power;
        AudioPlayerFactory& players;
        Resources& resources;
        AlertPanel& alertPanel;
        RestoreState& restoreState;
        ScreenOverlayController& overlay;
        BrightnessController& brightness;
        NightShiftController& nightShift;
        GammaController& gamma;
        // The microphone detector's pieces.
        CaptureEngine& microphone;
        InputDevices& inputs;
        OutputPlaybackProbe& playback;
        Executor& analysisQueue;
        Executor& bandQueue;
        Executor& recorderQueue;
        AudioFileFactory createRecording;
        std::unique_ptr<SoundClassifier> classifier;
    };

    explicit SessionEngines(Platform platform, WakeSoundTiming wakeSoundTiming = {});
    SessionEngines(const SessionEngines&) = delete;
    SessionEngines& operator=(const SessionEngines&) = delete;

    SystemVolumeMonitor volumeMonitor;
    SystemAudio systemAudio;
    BaselineStore baseline;
    SleepTimerModel timer;
    AutoFader fader;
    WakeSound wakeSound;
    PreSleepAlertController alert;
    SleepDetector detector;
    /// Last: it wires the others and lets go of them first.
    SessionOrchestrator orchestrator;
};

} // namespace mirl
