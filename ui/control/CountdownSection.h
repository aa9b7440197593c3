#pragma once

#include "runtime/Handle.h"

#include <QWidget>

class QPushButton;

namespace mirl {

class CountdownRing;
class SessionOrchestrator;

/// The controls shown while a timer runs: the ring with the remaining time and "Cancel".
class CountdownSection final : public QWidget {
public:
    explicit CountdownSection(SessionOrchestrator& session, QWidget* parent = nullptr);

    CountdownRing* ring() const { return ring_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    void refresh();

    SessionOrchestrator& session_;
    CountdownRing* ring_;
    QPushButton* cancel_;
    Handle tick_;
    Handle end_;
};

} // namespace mirl
