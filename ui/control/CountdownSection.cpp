#include "ui/control/CountdownSection.h"

#include "core/session/SessionOrchestrator.h"
#include "ui/art/Symbols.h"
#include "ui/control/CountdownRing.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace mirl {

namespace {

const QColor kCancelTint = QColor::fromRgbF(0.3f, 0.35f, 0.45f);

} // namespace

CountdownSection::CountdownSection(SessionOrchestrator& session, QWidget* parent)
    : QWidget(parent), session_(session) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->setSpacing(14);
    ring_ = new CountdownRing;
    layout->addWidget(ring_, 0, Qt::AlignHCenter);

    cancel_ = new QPushButton(QStringLiteral("Cancel"));
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setIcon(symbolIcon(Symbol::xmarkCircle, Qt::white));
    cancel_->setIconSize(QSize(14, 14));
    cancel_->setFixedSize(140, 32);
    cancel_->setCursor(Qt::PointingHandCursor);
    cancel_->setStyleSheet(
        QStringLiteral("QPushButton { color: white; background: %1; border: none;"
                       " border-radius: 8px; font-weight: 600; }"
                       "QPushButton:hover { background: %2; }"
                       "QPushButton:pressed { background: %3; }"
                       "QPushButton:focus { border: 2px solid palette(highlight); }")
            .arg(kCancelTint.name(), kCancelTint.lighter(115).name(), kCancelTint.darker(115).name()));
    layout->addWidget(cancel_, 0, Qt::AlignHCenter);
    connect(cancel_, &QPushButton::clicked, this, [this] { session_.cancelSession(); });

    SleepTimerModel& timer = session_.timer();
    tick_ = timer.now.subscribe([this](const auto&) { refresh(); });
    end_ = timer.endDate.subscribe([this](const auto&) { refresh(); });
    refresh();
}

void CountdownSection::refresh() {
    const SleepTimerModel& timer = session_.timer();
    ring_->setText(QString::fromStdString(timer.remainingText()));
    ring_->setProgress(timer.progress());
}

} // namespace mirl
