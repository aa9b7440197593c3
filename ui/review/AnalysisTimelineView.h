#pragma once

#include "journal/analysis/SessionAnalysis.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

class QLabel;
class QVBoxLayout;

namespace mirl::review {

class TimelineStrip;

/// "Heuristic analyses": one block per heuristic of the session analysis, each with a toggle
/// for its raw series, its name, when it first said asleep, and its strip.
class AnalysisTimelineView final : public QWidget {
public:
    explicit AnalysisTimelineView(QWidget* parent = nullptr);

    void setAnalysis(std::shared_ptr<const SessionAnalysis> analysis);
    void setPlayerCurrentTime(double seconds);
    std::function<void(double seconds)> onSeek;

    /// Result ids whose raw series is drawn; every id is added when its analysis first shows.
    const std::set<std::string>& rawSeriesVisible() const { return rawSeriesVisible_; }

private:
    void rebuild();

    std::shared_ptr<const SessionAnalysis> analysis_;
    std::set<std::string> rawSeriesVisible_;
    std::set<std::string> knownIds_;
    double playerCurrentTime_ = 0;
    QLabel* duration_;
    QVBoxLayout* blocks_;
    std::vector<TimelineStrip*> strips_;
};

} // namespace mirl::review
