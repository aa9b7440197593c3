#pragma once

#include "detect/SleepPhase.h"

#include <QLabel>

namespace mirl {

/// The detector's phase as a small coloured pill: "Awake" orange, "Calming" yellow, "Asleep"
/// blue, "Deep" indigo, on the same colour at a quarter opacity.
class PhaseBadge final : public QLabel {
public:
    explicit PhaseBadge(QWidget* parent = nullptr);

    void setPhase(SleepPhase phase);
    SleepPhase phase() const { return phase_; }

    static QColor colorOf(SleepPhase phase);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SleepPhase phase_ = SleepPhase::awake;
};

} // namespace mirl
