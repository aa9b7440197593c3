#include "ui/control/StartSection.h"

#include "core/session/SessionOrchestrator.h"
#include "core/settings/SettingsKeys.h"
#include "ui/control/ControlTexts.h"
#include "ui/control/PresetButton.h"
#include "ui/control/ViewStyle.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace mirl {

namespace {

// The caption names the mode a timer would take now; in Auto that changes on the hour.
constexpr auto kCaptionRefresh = std::chrono::seconds(15);

} // namespace

StartSection::StartSection(SessionOrchestrator& session, const Settings& settings, const Clock& clock,
                           Scheduler& scheduler, QWidget* parent)
    : QWidget(parent), session_(session), settings_(settings), clock_(clock) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);

    caption_ = viewstyle::label(QString(), 12, QFont::Normal, viewstyle::Ink::secondary);
    caption_->setWordWrap(true);
    caption_->setObjectName(QStringLiteral("modeCaption"));
    layout->addWidget(caption_);

    auto* grid = new QGridLayout;
    grid->setSpacing(8);
    int index = 0;
    for (int minutes : controltext::kPresetMinutes) {
        auto* preset = new PresetButton(minutes);
        preset->setObjectName(QStringLiteral("preset%1").arg(minutes));
        connect(preset, &QAbstractButton::clicked, this, [this, minutes] { session_.startTimer(minutes); });
        grid->addWidget(preset, index / 3, index % 3);
        ++index;
    }
    for (int column = 0; column < 3; ++column)
        grid->setColumnStretch(column, 1);
    layout->addLayout(grid);

    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    custom_ = new QLineEdit;
    custom_->setObjectName(QStringLiteral("customMinutes"));
    custom_->setPlaceholderText(QStringLiteral("Custom duration"));
    custom_->setClearButtonEnabled(true);
    custom_->setMinimumHeight(30);
    custom_->setAccessibleName(QStringLiteral("Custom duration in minutes"));
    go_ = new QPushButton(QStringLiteral("Go"));
    go_->setObjectName(QStringLiteral("go"));
    go_->setDefault(true);
    go_->setMinimumHeight(30);
    go_->setCursor(Qt::PointingHandCursor);
    row->addWidget(custom_, 1);
    row->addWidget(go_);
    layout->addLayout(row);
    connect(custom_, &QLineEdit::returnPressed, this, &StartSection::startCustom);
    connect(go_, &QPushButton::clicked, this, &StartSection::startCustom);

    refreshModeCaption();
    captionTicker_ = scheduler.every(kCaptionRefresh, [this] { refreshModeCaption(); });
}

void StartSection::startCustom() {
    const auto minutes = controltext::parseCustomMinutes(custom_->text().toStdString());
    if (!minutes)
        return;
    session_.startTimer(*minutes);
    custom_->clear();
}

void StartSection::refreshModeCaption() {
    const std::string stored = settings_.readString(keys::modeTimerMode, "auto");
    const MirlMode resolved = session_.timer().resolveMode(clock_.now(), MirlMode::automatic);
    caption_->setText(QString::fromStdString(controltext::modeCaption(stored, resolved)));
}

} // namespace mirl
