#pragma once

#include "core/settings/Settings.h"
#include "ui/prefs/FormSection.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace mirl {

class BoundPicker;
class WakeSound;
class XdgAutostart;

/// The System tab: the session mode, what happens at the end of the timer, the wake-up sound
/// with its preview, the hours of Auto mode, and how Mirl starts.
class SystemTab : public FormPage {
    Q_OBJECT
public:
    /// wakeSound (for the preview) and autostart may be null: their controls are then disabled.
    SystemTab(Settings& settings, WakeSound* wakeSound, XdgAutostart* autostart, QWidget* parent = nullptr);
    /// Brings what depends on the controls' values up to date (after they were reloaded).
    void refresh();

    BoundPicker* modePicker() const { return mode_; }
    BoundPicker* prewarnLeadPicker() const { return prewarnLead_; }
    BoundPicker* wakeLeadPicker() const { return wakeLead_; }
    BoundPicker* wakeSoundPicker() const { return wakeSound_; }
    BoundPicker* dayStartPicker() const { return dayStart_; }
    BoundPicker* nightStartPicker() const { return nightStart_; }
    QPushButton* previewButton() const { return preview_; }
    QCheckBox* loginSwitch() const { return login_; }
    QLabel* loginError() const { return loginError_; }

private:
    void addModeSection(Settings& settings);
    void addBehaviorSection(Settings& settings);
    void addAutoModeSection(Settings& settings);
    void addLaunchSection(Settings& settings);
    void updatePreview();
    void loginToggled(bool on);

    WakeSound* wakeSoundPlayer_;
    XdgAutostart* autostart_;
    BoundPicker* mode_;
    BoundPicker* prewarnLead_;
    BoundPicker* wakeLead_;
    BoundPicker* wakeSound_;
    BoundPicker* dayStart_;
    BoundPicker* nightStart_;
    QPushButton* preview_;
    QCheckBox* login_;
    QLabel* loginError_;
};

/// "30 s", "1 min", "90 s": a duration as the pickers show it.
QString durationText(int seconds);

} // namespace mirl
