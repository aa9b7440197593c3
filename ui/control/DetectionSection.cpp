#include "ui/control/DetectionSection.h"

#include "core/session/SessionOrchestrator.h"
#include "core/settings/SettingsKeys.h"
#include "ui/art/Symbols.h"
#include "ui/art/Tones.h"
#include "ui/control/ControlTexts.h"
#include "ui/control/PhaseBadge.h"
#include "ui/control/SwitchButton.h"
#include "ui/control/ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace mirl {

namespace {

QLabel* symbolLabel(Symbol symbol, int size, const QColor& color) {
    auto* label = new QLabel;
    label->setPixmap(symbolIcon(symbol, color).pixmap(size, size));
    label->setFixedSize(size, size);
    return label;
}

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

DetectionSection::DetectionSection(SessionOrchestrator& session, const Settings& settings, QWidget* parent)
    : QWidget(parent), session_(session), settings_(settings) {
    using viewstyle::Ink;
    const QPalette& pal = palette();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);

    auto* detectionRow = new QHBoxLayout;
    detectionRow->setSpacing(8);
    detectionRow->addWidget(symbolLabel(Symbol::waveform, 16, tone::secondary(pal)));
    detectionRow->addWidget(viewstyle::label(QStringLiteral("Sleep detection"), 13, QFont::Medium));
    detectionRow->addStretch(1);
    detectionSwitch_ = new SwitchButton;
    detectionSwitch_->setObjectName(QStringLiteral("detectionSwitch"));
    detectionSwitch_->setAccessibleName(QStringLiteral("Sleep detection"));
    detectionRow->addWidget(detectionSwitch_);
    layout->addLayout(detectionRow);

    auto* fadeRow = new QHBoxLayout;
    fadeRow->setSpacing(8);
    fadeRow->addWidget(symbolLabel(Symbol::wandStars, 16, tone::secondary(pal)));
    fadeRow->addWidget(viewstyle::label(QStringLiteral("Auto-fade"), 11, QFont::Normal, Ink::secondary));
    fadeActive_ = viewstyle::label(QStringLiteral("(active)"), 11, QFont::Normal, Ink::tertiary);
    fadeRow->addWidget(fadeActive_);
    fadeRow->addStretch(1);
    autoFadeSwitch_ = new SwitchButton;
    autoFadeSwitch_->setObjectName(QStringLiteral("autoFadeSwitch"));
    autoFadeSwitch_->setAccessibleName(QStringLiteral("Auto-fade"));
    fadeRow->addWidget(autoFadeSwitch_);
    layout->addLayout(fadeRow);

    caption_ = viewstyle::label(QString(), 11, QFont::Normal, Ink::secondary);
    caption_->setObjectName(QStringLiteral("detectionCaption"));
    caption_->setWordWrap(true);
    layout->addWidget(caption_);

    live_ = new QWidget;
    auto* liveRow = new QHBoxLayout(live_);
    liveRow->setContentsMargins(0, 0, 0, 0);
    liveRow->setSpacing(6);
    badge_ = new PhaseBadge;
    liveRow->addWidget(badge_);
    soundLabel_ = viewstyle::label(QString(), 11);
    liveRow->addWidget(soundLabel_);
    confidence_ = viewstyle::label(QString(), 11, QFont::Normal, Ink::secondary);
    liveRow->addWidget(confidence_);
    liveRow->addStretch(1);
    breathing_ = new QWidget;
    auto* breathRow = new QHBoxLayout(breathing_);
    breathRow->setContentsMargins(0, 0, 0, 0);
    breathRow->setSpacing(4);
    breathRow->addWidget(symbolLabel(Symbol::wind, 14, tone::secondary(pal)));
    breathRate_ = viewstyle::label(QString(), 11, QFont::DemiBold);
    breathRow->addWidget(breathRate_);
    breathWord_ = viewstyle::label(QString(), 11, QFont::Normal, Ink::secondary);
    breathRow->addWidget(breathWord_);
    liveRow->addWidget(breathing_);
    layout->addWidget(live_);

    connect(detectionSwitch_, &QAbstractButton::clicked, this,
            [this](bool on) { session_.setDetectorEnabled(on); });
    connect(autoFadeSwitch_, &QAbstractButton::clicked, this,
            [this](bool on) { session_.setAutoFadeEnabled(on); });

    auto watch = [this](auto& published) {
        subscriptions_.push_back(published.subscribe([this](const auto&) { refresh(); }));
    };
    watch(session_.detectorEnabled);
    watch(session_.detectorRunning);
    watch(session_.autoFadeEnabled);
    watch(session_.fader().isActive);
    SleepDetector& detector = session_.detector();
    watch(detector.phase);
    watch(detector.topLabel);
    watch(detector.topConfidence);
    watch(detector.breathRpm);
    watch(detector.breathHasReading);
    refresh();
}

void DetectionSection::showEvent(QShowEvent* event) {
    // The no-microphone setting may have changed in the preferences meanwhile.
    refresh();
    QWidget::showEvent(event);
}

void DetectionSection::refresh() {
    detectionSwitch_->setChecked(session_.detectorEnabled.get());
    autoFadeSwitch_->setChecked(session_.autoFadeEnabled.get());
    fadeActive_->setVisible(session_.fader().isActive.get());

    const bool running = session_.detectorRunning.get();
    caption_->setVisible(!running);
    live_->setVisible(running);
    if (!running) {
        caption_->setText(qs(controltext::idleDetectionCaption(
            settings_.readBool(keys::privacyNoMicrophone, false), session_.detectorEnabled.get())));
        return;
    }
    const SleepDetector& detector = session_.detector();
    badge_->setPhase(detector.phase.get());
    const double confidence = detector.topConfidence.get();
    const bool confident = controltext::isConfidentLabel(confidence);
    soundLabel_->setText(qs(controltext::soundLabel(detector.topLabel.get(), confidence)));
    soundLabel_->setFont(viewstyle::font(soundLabel_->font(), 11, QFont::Normal, !confident));
    viewstyle::setInk(*soundLabel_, confident ? viewstyle::Ink::primary : viewstyle::Ink::tertiary);
    confidence_->setText(qs(controltext::percent(confidence)));
    const bool breathing = detector.breathHasReading.get();
    breathing_->setVisible(breathing);
    if (breathing) {
        breathRate_->setText(qs(controltext::breathRate(detector.breathRpm.get())));
        breathWord_->setText(qs(controltext::breathWord(detector.breathRpm.get())));
    }
}

} // namespace mirl
