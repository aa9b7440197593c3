#include "ui/review/TimelineStrip.h"

#include "journal/NumberText.h"
#include "journal/annotations/SleepIntervals.h"
#include "ui/review/ReviewIcons.h"
#include "ui/review/ReviewStyle.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace mirl::review {

namespace {

constexpr double kMarkerSize = 14; // a 10-point icon padded by 2

QColor kindColour(HeuristicVerdict::Kind kind) {
    switch (kind) {
    case HeuristicVerdict::Kind::asleep:
        return indigo();
    case HeuristicVerdict::Kind::calming:
        return yellow();
    case HeuristicVerdict::Kind::awake:
        break;
    }
    return orange();
}

Glyph kindGlyph(HeuristicVerdict::Kind kind) {
    switch (kind) {
    case HeuristicVerdict::Kind::asleep:
        return Glyph::moonZzz;
    case HeuristicVerdict::Kind::calming:
        return Glyph::cloudMoon;
    case HeuristicVerdict::Kind::awake:
        break;
    }
    return Glyph::sun;
}

} // namespace

TimelineStrip::TimelineStrip(const HeuristicResult& result, double durationSeconds, QWidget* parent)
    : QWidget(parent), result_(result), duration_(durationSeconds) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(38);
    setMouseTracking(true);
}

void TimelineStrip::setSeriesShown(bool shown) {
    seriesShown_ = shown;
    setFixedHeight(shown ? 38 : 18);
    update();
}

void TimelineStrip::setPlayhead(double seconds) {
    if (seconds == playhead_)
        return;
    playhead_ = seconds;
    update();
}

QString TimelineStrip::helpText(const HeuristicVerdict& verdict) {
    const QString dash = QStringLiteral(" \u2014 ");
    return QString::fromStdString(timeText(verdict.timeFromStart)) + dash +
           QString::fromUtf8(kindName(verdict.kind).data(), static_cast<int>(kindName(verdict.kind).size())) +
           QStringLiteral(" (%1%)").arg(QString::fromStdString(fixedText(verdict.score * 100, 0))) + dash +
           QString::fromStdString(verdict.detail);
}

QRectF TimelineStrip::markerRect(const HeuristicVerdict& verdict) const {
    // Centred on its time, and kept inside the strip at both ends.
    const double x = duration_ > 0 ? std::max(0.0, width() * verdict.timeFromStart / duration_ - 8) : 0.0;
    return QRectF(std::min(x, std::max(0.0, width() - kMarkerSize)), (height() - kMarkerSize) / 2,
                  kMarkerSize, kMarkerSize);
}

const HeuristicVerdict* TimelineStrip::markerAt(QPointF point) const {
    // The last drawn marker is on top.
    for (auto it = result_.verdicts.rbegin(); it != result_.verdicts.rend(); ++it)
        if (markerRect(*it).contains(point))
            return &*it;
    return nullptr;
}

void TimelineStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double w = width();
    const double h = height();
    QPainterPath background;
    background.addRoundedRect(QRectF(rect()), 3, 3);
    painter.fillPath(background, withAlpha(palette().color(QPalette::PlaceholderText), 0.08));

    if (result_.rawSeries.empty() && result_.verdicts.empty()) {
        // Say so rather than leave a blank strip (the session logged nothing this one reads).
        painter.setFont(sizedFont(10));
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(rect(), Qt::AlignCenter, tr("No events in this session"));
    }
    if (seriesShown_ && result_.rawSeries.size() >= 2 && duration_ > 0) {
        QPolygonF line;
        const double span = std::max(result_.yMax - result_.yMin, 0.0001);
        for (const auto& point : result_.rawSeries)
            line << QPointF(w * point.t / duration_,
                            h - h * std::clamp((point.value - result_.yMin) / span, 0.0, 1.0));
        painter.setPen(QPen(withAlpha(cyan(), 0.7), 1));
        painter.drawPolyline(line);
    }

    for (const auto& verdict : result_.verdicts) {
        const QRectF box = markerRect(verdict);
        QPainterPath badge;
        badge.addRoundedRect(box, 3, 3);
        painter.fillPath(badge, withAlpha(kindColour(verdict.kind), 0.85));
        icon(kindGlyph(verdict.kind), Qt::white).paint(&painter, box.adjusted(2, 2, -2, -2).toRect());
    }

    const double x = duration_ > 0 ? w * playhead_ / duration_ : 0.0;
    painter.setPen(QPen(withAlpha(red(), 0.7), 1));
    painter.drawLine(QPointF(x, 0), QPointF(x, h));
}

void TimelineStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !onSeek)
        return;
    if (const auto* verdict = markerAt(event->position()))
        onSeek(verdict->timeFromStart);
    else if (width() > 0)
        onSeek(event->position().x() / width() * duration_);
}

bool TimelineStrip::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (const auto* verdict = markerAt(help->pos()))
            QToolTip::showText(help->globalPos(), helpText(*verdict), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

} // namespace mirl::review
