#pragma once

#include "journal/analysis/SessionAnalysis.h"

#include <QWidget>

#include <functional>

namespace mirl::review {

/// One heuristic over the session: its raw series (when shown), a badge per verdict (with the
/// verdict as help text; a click seeks to it) and the playhead. A click elsewhere seeks there.
class TimelineStrip final : public QWidget {
public:
    TimelineStrip(const HeuristicResult& result, double durationSeconds, QWidget* parent = nullptr);

    void setSeriesShown(bool shown);
    void setPlayhead(double seconds);
    std::function<void(double seconds)> onSeek;

    /// "14:30 — asleep (82%) — → asleep".
    static QString helpText(const HeuristicVerdict& verdict);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    QRectF markerRect(const HeuristicVerdict& verdict) const;
    const HeuristicVerdict* markerAt(QPointF point) const;

    const HeuristicResult& result_;
    double duration_;
    double playhead_ = 0;
    bool seriesShown_ = true;
};

} // namespace mirl::review
