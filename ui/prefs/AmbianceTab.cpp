#include "ui/prefs/AmbianceTab.h"

#include "core/settings/SettingsKeys.h"
#include "ui/prefs/BoundControls.h"
#include "ui/prefs/FormSection.h"

#include <QLabel>

#include <cmath>

namespace mirl {

QString volumeFloorFooter(int floorPct) {
    if (floorPct == 0)
        return QObject::tr("The volume fades all the way to silence by the end of the timer.");
    const long endVolume = std::lround(floorPct * 50.0 / 100.0);
    return QObject::tr("Where the volume lands at the end of the fade. Starting at 50, it ends around %1. "
                       "Lower it if the sound still feels too present when you fall asleep.")
        .arg(endVolume);
}

AmbianceTab::AmbianceTab(Settings& settings, QWidget* parent) : FormPage(parent) {
    auto* layers = addSection(tr("Ambiance layers"));
    struct Layer {
        std::string_view key;
        const char* title;
        const char* help;
    };
    const Layer rows[] = {
        {keys::ambianceOverlayEnabled, "Dark + orange overlay (NSWindow)",
         "Black/orange veil over the screen. Works outside native fullscreen."},
        {keys::ambianceNightShiftEnabled, "Night Shift (sepia tint)",
         "Holds in most contexts except HW-accelerated fullscreen video."},
        {keys::ambianceBrightnessEnabled, "Hardware brightness",
         "Lowers the physical panel brightness. The only method that works in fullscreen video."},
        {keys::ambianceGammaDimEnabled, "Gamma dimming (fullscreen)",
         "Darkens the output at the framebuffer level. Sits BELOW the compositor, so it catches dimming in "
         "native fullscreen video where the overlay is blocked."},
        {keys::ambianceVolumeEnabled, "System volume", "Fades the macOS volume down."},
    };
    for (const auto& row : rows)
        layers->addControl(new BoundSwitch(settings, row.key, uiText(row.title)), uiText(row.help));

    auto* targets = addSection(tr("End-of-fade targets"));
    brightnessFloor_ = new BoundSlider(settings, keys::ambianceBrightnessFloorPct, {5, 50, 5}, [](int v) {
        return tr("Min brightness: %1% of the starting level").arg(v);
    });
    targets->addControl(brightnessFloor_);
    volumeFloor_ = new BoundSlider(settings, keys::ambianceVolumeFloorPct, {0, 80, 5}, [](int v) {
        return v == 0 ? tr("Target volume: silent") : tr("Target volume: %1% of the starting level").arg(v);
    });
    targets->addControl(volumeFloor_);
    volumeFooter_ = targets->addNote(QString());
    connect(volumeFloor_, &BoundSlider::valueChanged, this, &AmbianceTab::refresh);
    finish();
    refresh();
}

void AmbianceTab::refresh() {
    volumeFooter_->setText(volumeFloorFooter(volumeFloor_->value()));
}

} // namespace mirl
