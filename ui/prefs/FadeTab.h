#pragma once

#include "core/settings/Settings.h"
#include "ui/prefs/FormSection.h"

namespace mirl {

class BoundSlider;

/// The Auto-fade tab: whether the fade starts by itself, on how much inactivity, and how the
/// detected sleep speeds it up.
class FadeTab : public FormPage {
    Q_OBJECT
public:
    explicit FadeTab(Settings& settings, QWidget* parent = nullptr);

    BoundSlider* idleThreshold() const { return idleThreshold_; }
    BoundSlider* cooldown() const { return cooldown_; }
    BoundSlider* minDuration() const { return minDuration_; }
    BoundSlider* accelerateTo() const { return accelerateTo_; }

private:
    BoundSlider* idleThreshold_;
    BoundSlider* cooldown_;
    BoundSlider* minDuration_;
    BoundSlider* accelerateTo_;
};

} // namespace mirl
