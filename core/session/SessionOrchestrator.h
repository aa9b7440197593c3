#pragma once

#include "core/session/InactivityCheck.h"
#include "core/session/PreSleepAlertController.h"
#include "core/settings/Settings.h"
#include "core/timer/SleepTimerModel.h"
#include "detect/SleepDetector.h"
#include "fade/AutoFader.h"
#include "fade/BaselineStore.h"
#include "fade/BrightnessController.h"
#include "fade/NightShiftController.h"
#include "fade/ScreenOverlayController.h"
#include "fade/SystemVolumeMonitor.h"
#include "fade/WakeSound.h"
#include "journal/SessionLogger.h"
#include "platform/ActivityProbes.h"
#include "platform/SystemVolume.h"
#include "runtime/Clock.h"
#include "runtime/Console.h"
#include "runtime/Handle.h"
#include "runtime/Lifetime.h"
#include "runtime/Published.h"
#include "runtime/Scheduler.h"

#include <optional>
#include <string_view>
#include <vector>

namespace mirl {

/// One session from the start of a timer to its end: wires the timer, the microphone detector,
/// the fade engine, the outputs, the pre-sleep alert, the wake sound, the baseline and the
/// session log, and decides
/// at each turn which of them to start, stop or tell. One per application, living as long as
/// it, whether or not a window shows it. Views observe the published fields and the engines
/// and call the operations below (the popover's switches and sliders included).
///
/// Reactions to the timer starting or stopping and to the detector's sleep signals are posted to
/// the scheduler: they run after the operation that caused the change (so a cancel restores the
/// baseline before the stop path). A session log is open while the detectors run.
/// The five-second check (inactivity step, then the override poll) runs from construction on.
///
/// Thread rule: main thread only.
class SessionOrchestrator {
public:
    /// The engines and outputs it drives; the composition root owns them all.
    struct Deps {
        const Clock& clock;
        Scheduler& scheduler;
        Settings& settings;
        SessionLogger& logger;
        Console& console;
        ActivityProbes& probes;
        SleepTimerModel& timer;
        AutoFader& fader;
        SleepDetector& detector;
        SystemVolume& systemAudio;
        SystemVolumeMonitor& volumeMonitor;
        ScreenOverlayController& overlay;
        BrightnessController& brightness;
        NightShiftController& nightShift;
        WakeSound& wakeSound;
        BaselineStore& baseline;
        PreSleepAlertController& alert;
    };

    static constexpr Duration checkPeriod = std::chrono::seconds(5);
    /// A slider value this close to a value Mirl itself put there is its echo.
    static constexpr double echoTolerance = 0.0001;
    /// A polled volume this far from the last one Mirl set or accepted is an outside change.
    static constexpr int pollVolumeThreshold = 6;

    explicit SessionOrchestrator(Deps deps);
    ~SessionOrchestrator();
    SessionOrchestrator(const SessionOrchestrator&) = delete;
    SessionOrchestrator& operator=(const SessionOrchestrator&) = delete;

    // View state.
    Published<double> ambiance{0.0};        ///< 0..1, the ambiance slider
    Published<double> volume{50.0};         ///< percent, the volume slider
    Published<double> orangeIntensity{0.0}; ///< last applied, 0..0.22
    Published<double> darkness{0.0};        ///< last applied, 0..0.75
    Published<bool> detectorEnabled{true};  ///< the "Sleep detection" switch
    Published<bool> detectorRunning{false}; ///< the detectors run for this session
    Published<bool> autoFadeEnabled{true};  ///< the auto-fade switch
    std::optional<double> lastFaderAmbiance() const { return lastFaderAmbiance_; }
    std::optional<double> lastFaderVolume() const { return lastFaderVolume_; }
    /// The system volume captured when the fade engine was armed; -1 when none.
    int initialVolumeAtSessionStart() const { return initialVolumeAtSessionStart_; }
    std::optional<TimePoint> lastInteractionResetAt() const { return inactivity_.lastInteractionResetAt(); }

    // The engines, for views to observe.
    SleepTimerModel& timer() { return deps_.timer; }
    SleepDetector& detector() { return deps_.detector; }
    AutoFader& fader() { return deps_.fader; }
    PreSleepAlertController& alert() { return deps_.alert; }

    // Operations for views and the remote control.
    /// Starts (or restarts) a timer of 1 to 1440 minutes; other values are refused.
    void startTimer(int minutes);
    /// Adds 1 to 1440 minutes to the running timer (or starts one); other values are refused.
    void extendTimer(int minutes);
    void cancelSession();
    void setDetectorEnabled(bool on);
    void setAutoFadeEnabled(bool on);
    /// Every value of the ambiance slider; echoes of Mirl's own values are ignored.
    void ambianceSliderMoved(double a);
    /// Every value of the volume slider; echoes of Mirl's own values are ignored.
    void volumeSliderMoved(double v);
    /// The "Reset the ambiance" button: the screen back to neutral; the fade engine is not told.
    void resetAmbiance();
    void setAmbianceAutopilot(bool on);
    void setVolumeAutopilot(bool on);
    /// The system is about to sleep: the detectors stop; the timer and the fade go on.
    void systemWillSleep();
    /// The system woke: the contextual restore (full by day, partial at night).
    void systemDidWake();

    /// The restore of a cancelled session: screen outputs neutral, the volume captured when the
    /// fade engine was armed put back, the baseline forgotten.
    void restoreSessionBaseline(std::string_view reason);

private:
    void timerRunningChanged(bool isRunning);
    void endDateChanged(const std::optional<TimePoint>& end);
    void startDetector();
    void relaySleepSignal(std::string_view reason);
    void stopDetector(std::string_view reason);
    void beginFaderSession();
    void applyFaderAmbiance(double a);
    void applyFaderVolume(int v, int initialVolume);
    void volumeOverrideDetected(int actual, std::string_view via);
    void check();
    void pollOverrides();
    /// The darkness equivalent of a brightness change made by someone else while the ambiance
    /// autopilot fades, or nothing.
    std::optional<double> brightnessOverride();
    void brightnessOverrideDetected(double d);
    void napWakeDue(double remaining);
    void preSleepAlertDue(double remaining);
    void applyAmbianceToScreen(double a);
    /// Seconds until the timer's end date (60 without an end date).
    double secondsUntilEnd() const;
    /// Whole minutes until the timer's end date, plus one (1 without an end date).
    int minutesUntilEnd() const;
    bool volumeEnabled() const;
    static bool validMinutes(int minutes);

    Deps deps_;
    InactivityCheck inactivity_;

    int initialVolumeAtSessionStart_ = -1;
    bool volumeRecorded_ = true; // the session's baseline volume is in the restore state
    std::optional<double> lastFaderAmbiance_;
    std::optional<double> lastFaderVolume_;
    std::optional<int> lastAppliedSystemVolume_;
    bool handledRunning_ = false;
    Handle wakeSoundWork_;
    Handle checkTimer_;
    std::vector<Handle> subscriptions_;
    Lifetime lifetime_;
};

} // namespace mirl
