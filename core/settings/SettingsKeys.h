#pragma once

#include <array>
#include <string_view>
#include <variant>

// The one place where setting keys are spelled. Readers pass their own default at the
// reading site; kSettingDefaults lists the documented defaults for the preferences window
// and for tests.
namespace mirl::keys {

inline constexpr std::string_view fadeAutoEnabled = "fade.auto_enabled";
inline constexpr std::string_view fadeTriggerIdleEnabled = "fade.trigger_idle_enabled";
inline constexpr std::string_view fadeIdleThresholdSec = "fade.idle_threshold_sec";
inline constexpr std::string_view fadeCooldownSec = "fade.cooldown_sec";
inline constexpr std::string_view fadeMinDurationSec = "fade.min_duration_sec";
inline constexpr std::string_view fadeAcceleratorsEnabled = "fade.accelerators_enabled";
inline constexpr std::string_view fadeAccelerateToSec = "fade.accelerate_to_sec";
inline constexpr std::string_view fadeOverridePlateauSec = "fade.override_plateau_sec";
inline constexpr std::string_view fadeVolumeOverridePlateauSec = "fade.volume_override_plateau_sec";

inline constexpr std::string_view ambianceOverlayEnabled = "ambiance.overlay_enabled";
inline constexpr std::string_view ambianceNightShiftEnabled = "ambiance.night_shift_enabled";
inline constexpr std::string_view ambianceBrightnessEnabled = "ambiance.brightness_enabled";
inline constexpr std::string_view ambianceGammaDimEnabled = "ambiance.gamma_dim_enabled";
inline constexpr std::string_view ambianceVolumeEnabled = "ambiance.volume_enabled";
inline constexpr std::string_view ambianceBrightnessFloorPct = "ambiance.brightness_floor_pct";
inline constexpr std::string_view ambianceVolumeFloorPct = "ambiance.volume_floor_pct";

inline constexpr std::string_view detectorSleepEnabled = "detector.sleep_enabled";
inline constexpr std::string_view detectorBreathRpmEnabled = "detector.breath_rpm_enabled";
inline constexpr std::string_view detectorBreathBandEnabled = "detector.breath_band_enabled";
inline constexpr std::string_view detectorRecordingEnabled = "detector.recording_enabled";
inline constexpr std::string_view detectorVoiceProcessingOff = "detector.voice_processing_off";
inline constexpr std::string_view detectorRotationDays = "detector.rotation_days";
inline constexpr std::string_view detectorPreferredInputDeviceUid = "detector.preferred_input_device_uid";

inline constexpr std::string_view privacyNoMicrophone = "privacy.no_microphone";

inline constexpr std::string_view modeTimerMode = "mode.timer_mode";
inline constexpr std::string_view modeAutoDayStartHour = "mode.auto_day_start_hour";
inline constexpr std::string_view modeAutoNightStartHour = "mode.auto_night_start_hour";
inline constexpr std::string_view modeNapWakeLeadSec = "mode.nap_wake_lead_sec";
inline constexpr std::string_view modeNapWakeSound = "mode.nap_wake_sound";

inline constexpr std::string_view systemSleepOnFire = "system.sleep_on_fire";
inline constexpr std::string_view systemPrewarnEnabled = "system.prewarn_enabled";
inline constexpr std::string_view systemPrewarnLeadSec = "system.prewarn_lead_sec";
inline constexpr std::string_view systemShowInDock = "system.show_in_dock";

struct SettingDefault {
    std::string_view key;
    std::variant<bool, int, std::string_view> value;
};

inline constexpr std::array kSettingDefaults{
    SettingDefault{fadeAutoEnabled, true},
    SettingDefault{fadeTriggerIdleEnabled, true},
    SettingDefault{fadeIdleThresholdSec, 600},
    SettingDefault{fadeCooldownSec, 300},
    SettingDefault{fadeMinDurationSec, 540},
    SettingDefault{fadeAcceleratorsEnabled, true},
    SettingDefault{fadeAccelerateToSec, 180},
    SettingDefault{fadeOverridePlateauSec, 300},
    SettingDefault{fadeVolumeOverridePlateauSec, 600},
    SettingDefault{ambianceOverlayEnabled, true},
    SettingDefault{ambianceNightShiftEnabled, true},
    SettingDefault{ambianceBrightnessEnabled, true},
    SettingDefault{ambianceGammaDimEnabled, true},
    SettingDefault{ambianceVolumeEnabled, true},
    SettingDefault{ambianceBrightnessFloorPct, 20},
    SettingDefault{ambianceVolumeFloorPct, 35},
    SettingDefault{detectorSleepEnabled, true},
    SettingDefault{detectorBreathRpmEnabled, true},
    SettingDefault{detectorBreathBandEnabled, true},
    SettingDefault{detectorRecordingEnabled, false},
    SettingDefault{detectorVoiceProcessingOff, true},
    SettingDefault{detectorRotationDays, 60},
    SettingDefault{detectorPreferredInputDeviceUid, std::string_view{}},
    SettingDefault{privacyNoMicrophone, false},
    SettingDefault{modeTimerMode, std::string_view{"auto"}},
    SettingDefault{modeAutoDayStartHour, 11},
    SettingDefault{modeAutoNightStartHour, 19},
    SettingDefault{modeNapWakeLeadSec, 180},
    SettingDefault{modeNapWakeSound, std::string_view{"birds"}},
    SettingDefault{systemSleepOnFire, true},
    SettingDefault{systemPrewarnEnabled, true},
    SettingDefault{systemPrewarnLeadSec, 60},
    SettingDefault{systemShowInDock, true},
};

} // namespace mirl::keys
