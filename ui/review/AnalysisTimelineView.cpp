#include "ui/review/AnalysisTimelineView.h"

#include "journal/annotations/SleepIntervals.h"
#include "ui/review/ReviewIcons.h"
#include "ui/review/ReviewStyle.h"
#include "ui/review/TimelineStrip.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace mirl::review {

AnalysisTimelineView::AnalysisTimelineView(QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    auto* header = new QHBoxLayout;
    auto* title = new QLabel(tr("Heuristic analyses"), this);
    title->setFont(sizedFont(12, QFont::DemiBold));
    duration_ = new QLabel(this);
    duration_->setFont(sizedFont(10, QFont::Normal, true));
    duration_->setForegroundRole(QPalette::PlaceholderText);
    header->addWidget(title);
    header->addWidget(duration_);
    header->addStretch();
    column->addLayout(header);
    blocks_ = new QVBoxLayout;
    blocks_->setSpacing(4);
    column->addLayout(blocks_);
}

void AnalysisTimelineView::setAnalysis(std::shared_ptr<const SessionAnalysis> analysis) {
    analysis_ = std::move(analysis);
    if (analysis_) {
        // Every series starts visible, and so does each id a later analysis brings; a series
        // the user hid stays hidden when the analysis is computed again.
        for (const auto& result : analysis_->results)
            if (knownIds_.insert(result.id).second)
                rawSeriesVisible_.insert(result.id);
    }
    rebuild();
}

void AnalysisTimelineView::setPlayerCurrentTime(double seconds) {
    playerCurrentTime_ = seconds;
    for (auto* strip : strips_)
        strip->setPlayhead(seconds);
}

void AnalysisTimelineView::rebuild() {
    strips_.clear();
    while (QLayoutItem* item = blocks_->takeAt(0)) {
        delete item->widget(); // now: its strip points into the analysis being replaced
        delete item;
    }
    if (!analysis_) {
        duration_->clear();
        return;
    }
    duration_->setText(QString::fromStdString(timeText(analysis_->durationSeconds)));
    for (const auto& result : analysis_->results) {
        auto* block = new QWidget(this);
        auto* blockColumn = new QVBoxLayout(block);
        blockColumn->setContentsMargins(0, 0, 0, 0);
        blockColumn->setSpacing(2);
        auto* row = new QHBoxLayout;
        auto* toggle = new QToolButton(block);
        toggle->setAutoRaise(true);
        toggle->setIconSize(QSize(14, 14));
        toggle->setToolTip(tr("Show the raw series"));
        auto* name = new QLabel(QString::fromStdString(result.displayName), block);
        name->setFont(sizedFont(11, QFont::Medium));
        auto* asleep = new QLabel(block);
        if (const auto* first = result.firstAsleep()) {
            asleep->setText(QStringLiteral("asleep @ ") +
                            QString::fromStdString(timeText(first->timeFromStart)));
            asleep->setFont(sizedFont(10, QFont::Normal, true));
            asleep->setStyleSheet(QStringLiteral("color: %1").arg(indigo().name()));
        } else {
            asleep->setText(QStringLiteral("\u2014"));
            asleep->setForegroundRole(QPalette::PlaceholderText);
        }
        row->addWidget(toggle);
        row->addWidget(name);
        row->addStretch();
        row->addWidget(asleep);
        blockColumn->addLayout(row);

        auto* strip = new TimelineStrip(result, analysis_->durationSeconds, block);
        strip->setPlayhead(playerCurrentTime_);
        strip->onSeek = [this](double seconds) {
            if (onSeek)
                onSeek(seconds);
        };
        blockColumn->addWidget(strip);
        strips_.push_back(strip);

        auto show = [this, toggle, strip, id = result.id](bool shown) {
            toggle->setIcon(icon(shown ? Glyph::checkedBox : Glyph::emptyBox,
                                 shown ? palette().color(QPalette::Highlight) : QColor()));
            strip->setSeriesShown(shown);
        };
        show(rawSeriesVisible_.count(result.id) > 0);
        connect(toggle, &QToolButton::clicked, this, [this, show, id = result.id] {
            const bool shown = !rawSeriesVisible_.count(id);
            if (shown)
                rawSeriesVisible_.insert(id);
            else
                rawSeriesVisible_.erase(id);
            show(shown);
        });
        blocks_->addWidget(block);
    }
}

} // namespace mirl::review
