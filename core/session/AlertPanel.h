#pragma once

#include <string>

namespace mirl {

/// The window of the pre-sleep alert: always on top, shown without taking the keyboard focus,
/// with the header "Mirl will soon put the computer to sleep", a countdown label, the buttons
/// "+10", "+20", "+30" and "Sleep now". Its buttons call PreSleepAlertController's
/// extendTapped(minutes) and sleepNowTapped(). The controller decides when it opens and closes;
/// the panel only shows.
/// Thread rule: main thread.
class AlertPanel {
public:
    virtual ~AlertPanel() = default;
    /// Builds a fresh panel and shows it in the middle of the screen.
    virtual void open() = 0;
    /// The countdown label ("sleep in 0:59").
    virtual void setCountdownText(const std::string& text) = 0;
    /// Hides and drops the panel.
    virtual void close() = 0;
};

} // namespace mirl
