#include "ui/prefs/FadeTab.h"

#include "core/settings/SettingsKeys.h"
#include "ui/prefs/BoundControls.h"
#include "ui/prefs/FormSection.h"

namespace mirl {

namespace {

// "Required inactivity: 10 min": the stored seconds shown in whole minutes.
std::function<QString(int)> minutesLabel(const QString& title) {
    return [title](int seconds) { return title + QObject::tr("%1 min").arg(seconds / 60); };
}

} // namespace

FadeTab::FadeTab(Settings& settings, QWidget* parent) : FormPage(parent) {
    auto* master = addSection(tr("Master"));
    master->addControl(new BoundSwitch(settings, keys::fadeAutoEnabled, tr("Enable auto-fade")));

    auto* trigger = addSection(tr("Primary trigger — user inactivity"));
    trigger->addControl(new BoundSwitch(settings, keys::fadeTriggerIdleEnabled, tr("Trigger on inactivity")));
    idleThreshold_ = new BoundSlider(settings, keys::fadeIdleThresholdSec, {60, 900, 30},
                                     minutesLabel(tr("Required inactivity: ")));
    trigger->addControl(idleThreshold_);
    cooldown_ = new BoundSlider(settings, keys::fadeCooldownSec, {60, 600, 30},
                                minutesLabel(tr("Cooldown after interaction: ")));
    trigger->addControl(cooldown_);
    minDuration_ = new BoundSlider(settings, keys::fadeMinDurationSec, {180, 1800, 30},
                                   minutesLabel(tr("Min fade duration: ")));
    trigger->addControl(minDuration_);

    auto* accelerators = addSection(tr("AI accelerators"));
    accelerators->addControl(new BoundSwitch(settings, keys::fadeAcceleratorsEnabled,
                                             tr("Accelerate the fade when sleep is detected")));
    accelerateTo_ = new BoundSlider(settings, keys::fadeAccelerateToSec, {60, 600, 30},
                                    minutesLabel(tr("Accelerated duration: ")));
    accelerators->addControl(accelerateTo_);
    finish();
}

} // namespace mirl
