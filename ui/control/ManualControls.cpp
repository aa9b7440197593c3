#include "ui/control/ManualControls.h"

#include "core/session/SessionOrchestrator.h"
#include "ui/control/AutopilotButton.h"
#include "ui/control/ControlTexts.h"
#include "ui/control/ViewStyle.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace mirl {

namespace {

QSlider* slider(int maximum, const QString& name) {
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setRange(0, maximum);
    slider->setPageStep(maximum / 10);
    slider->setSingleStep(std::max(1, maximum / 100));
    slider->setAccessibleName(name);
    slider->setCursor(Qt::PointingHandCursor);
    return slider;
}

/// Shows a value the session set, unless the user holds the slider.
void follow(QSlider& slider, int value) {
    if (slider.isSliderDown())
        return;
    const QSignalBlocker quiet(slider);
    slider.setValue(value);
}

} // namespace

ManualControls::ManualControls(SessionOrchestrator& session, QWidget* parent)
    : QWidget(parent), session_(session) {
    using viewstyle::Ink;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);

    disclosure_ = new QToolButton;
    disclosure_->setObjectName(QStringLiteral("manualControls"));
    disclosure_->setText(QStringLiteral("Manual controls"));
    disclosure_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    disclosure_->setArrowType(Qt::RightArrow);
    disclosure_->setAutoRaise(true);
    disclosure_->setCursor(Qt::PointingHandCursor);
    disclosure_->setFont(viewstyle::font(disclosure_->font(), 12, QFont::Medium));
    viewstyle::setInk(*disclosure_, Ink::secondary);
    layout->addWidget(disclosure_, 0, Qt::AlignLeft);

    body_ = new QWidget;
    auto* grid = new QGridLayout(body_);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    ambianceAutopilot_ = new AutopilotButton;
    ambianceAutopilot_->setObjectName(QStringLiteral("ambianceAutopilot"));
    volumeAutopilot_ = new AutopilotButton;
    volumeAutopilot_->setObjectName(QStringLiteral("volumeAutopilot"));
    ambianceValue_ = viewstyle::label(QString(), 11, QFont::Normal, Ink::secondary);
    volumeValue_ = viewstyle::label(QString(), 11, QFont::Normal, Ink::secondary);
    for (QLabel* value : {ambianceValue_, volumeValue_}) {
        value->setMinimumWidth(34);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    ambianceSlider_ = slider(kAmbianceSteps, QStringLiteral("Ambiance"));
    ambianceSlider_->setObjectName(QStringLiteral("ambianceSlider"));
    volumeSlider_ = slider(100, QStringLiteral("Volume"));
    volumeSlider_->setObjectName(QStringLiteral("volumeSlider"));
    grid->addWidget(ambianceAutopilot_, 0, 0);
    grid->addWidget(viewstyle::label(QStringLiteral("Ambiance"), 12), 0, 1);
    grid->addWidget(ambianceValue_, 0, 2);
    grid->addWidget(ambianceSlider_, 0, 3);
    grid->addWidget(volumeAutopilot_, 1, 0);
    grid->addWidget(viewstyle::label(QStringLiteral("Volume"), 12), 1, 1);
    grid->addWidget(volumeValue_, 1, 2);
    grid->addWidget(volumeSlider_, 1, 3);
    grid->setColumnStretch(3, 1);
    reset_ = new QPushButton(QStringLiteral("Reset the ambiance"));
    reset_->setObjectName(QStringLiteral("resetAmbiance"));
    reset_->setCursor(Qt::PointingHandCursor);
    reset_->setMinimumSize(reset_->sizeHint() + QSize(20, 4));
    grid->addWidget(reset_, 2, 0, 1, 4, Qt::AlignLeft);
    layout->addWidget(body_);
    body_->setVisible(false);

    connect(disclosure_, &QToolButton::clicked, this, [this] { setExpanded(!isExpanded()); });
    connect(ambianceSlider_, &QSlider::valueChanged, this,
            [this](int value) { session_.ambianceSliderMoved(static_cast<double>(value) / kAmbianceSteps); });
    connect(volumeSlider_, &QSlider::valueChanged, this,
            [this](int value) { session_.volumeSliderMoved(static_cast<double>(value)); });
    connect(ambianceAutopilot_, &QToolButton::clicked, this,
            [this] { session_.setAmbianceAutopilot(!session_.fader().ambianceAutopilot.get()); });
    connect(volumeAutopilot_, &QToolButton::clicked, this,
            [this] { session_.setVolumeAutopilot(!session_.fader().volumeAutopilot.get()); });
    connect(reset_, &QPushButton::clicked, this, [this] { session_.resetAmbiance(); });

    AutoFader& fader = session_.fader();
    subscriptions_.push_back(session_.ambiance.subscribe([this](double a) { showAmbiance(a); }));
    subscriptions_.push_back(session_.volume.subscribe([this](double v) { showVolume(v); }));
    subscriptions_.push_back(
        fader.ambianceAutopilot.subscribe([this](bool on) { ambianceAutopilot_->setOn(on); }));
    subscriptions_.push_back(
        fader.volumeAutopilot.subscribe([this](bool on) { volumeAutopilot_->setOn(on); }));
    showAmbiance(session_.ambiance.get());
    showVolume(session_.volume.get());
    ambianceAutopilot_->setOn(fader.ambianceAutopilot.get());
    volumeAutopilot_->setOn(fader.volumeAutopilot.get());
}

void ManualControls::setExpanded(bool expanded) {
    disclosure_->setArrowType(expanded ? Qt::DownArrow : Qt::RightArrow);
    body_->setVisible(expanded);
}

bool ManualControls::isExpanded() const {
    return body_->isVisibleTo(this);
}

void ManualControls::showAmbiance(double ambiance) {
    ambianceValue_->setText(QString::fromStdString(controltext::percent(ambiance)));
    follow(*ambianceSlider_, static_cast<int>(std::lround(ambiance * kAmbianceSteps)));
}

void ManualControls::showVolume(double volume) {
    volumeValue_->setText(QString::fromStdString(controltext::volumeValue(volume)));
    follow(*volumeSlider_, static_cast<int>(std::lround(volume)));
}

} // namespace mirl
