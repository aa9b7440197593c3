#pragma once

#include "core/settings/Settings.h"
#include "ui/prefs/FormSection.h"

class QLabel;

namespace mirl {

class BoundSlider;

/// The Ambiance tab: which outputs the fade dims, and where brightness and volume end.
class AmbianceTab : public FormPage {
    Q_OBJECT
public:
    explicit AmbianceTab(Settings& settings, QWidget* parent = nullptr);
    void refresh();

    BoundSlider* brightnessFloor() const { return brightnessFloor_; }
    BoundSlider* volumeFloor() const { return volumeFloor_; }
    QLabel* volumeFooter() const { return volumeFooter_; }

private:
    BoundSlider* brightnessFloor_;
    BoundSlider* volumeFloor_;
    QLabel* volumeFooter_;
};

/// The footer under the volume target for a floor of `floorPct`.
QString volumeFloorFooter(int floorPct);

} // namespace mirl
