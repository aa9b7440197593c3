#include "ui/prefs/DetectorTab.h"

#include "core/settings/SettingsKeys.h"
#include "ui/prefs/BoundControls.h"
#include "ui/prefs/FormSection.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <set>

namespace mirl {

namespace {

QString rotationText(int days) {
    // Pruning skips anything below one day.
    return days >= 1 ? QObject::tr("%1 days").arg(days) : QObject::tr("never");
}

} // namespace

DetectorTab::DetectorTab(Deps deps, QWidget* parent) : FormPage(parent), deps_(std::move(deps)) {
    addPrivacySection();
    addMicrophoneSection();
    addAdvancedSection();
    finish();
    refreshDevices();
    refresh();
}

void DetectorTab::addPrivacySection() {
    auto* privacy = addSection(tr("Privacy"));
    auto* noMicrophone = new BoundSwitch(deps_.settings, keys::privacyNoMicrophone, tr("No-microphone mode"));
    privacy->addControl(
        noMicrophone, tr("Mirl NEVER opens the microphone: no audio detection, no recording. The fade is "
                         "still driven by the timer and keyboard/mouse inactivity. For the privacy-minded — "
                         "and that's perfectly fine."));
    microphoneOff_ = privacy->addNote(
        tr("Microphone off: audio detection and recordings disabled. Timer + inactivity only."));
    microphoneOff_->setForegroundRole(QPalette::WindowText);
    connect(noMicrophone, &QCheckBox::toggled, this, &DetectorTab::refresh);
}

void DetectorTab::addMicrophoneSection() {
    microphone_ = addSection(tr("Microphone"));
    source_ = new BoundPicker(
        deps_.settings, keys::detectorPreferredInputDeviceUid, {{tr("System default"), std::string()}},
        [](const BoundPicker::Value& v) {
            return tr("%1 (not connected)").arg(QString::fromStdString(std::get<std::string>(v)));
        });
    source_->setMinimumContentsLength(18);
    microphone_->addRow(tr("Source"), source_);
    refresh_ = new QPushButton(QIcon::fromTheme(QStringLiteral("view-refresh")), tr("Refresh the list"));
    refresh_->setEnabled(deps_.devices != nullptr);
    auto* refreshRow = new QHBoxLayout;
    refreshRow->addStretch(1);
    refreshRow->addWidget(refresh_);
    microphone_->column()->addLayout(refreshRow);
    microphone_->addNote(uiText("The chosen device will be used the next time the timer starts. 'System "
                                "default' follows the device selected in macOS."));
    connect(refresh_, &QPushButton::clicked, this, &DetectorTab::refreshDevices);
}

void DetectorTab::addAdvancedSection() {
    Settings& settings = deps_.settings;
    advanced_ = addSection(tr("Advanced"));
    disclosure_ = new QToolButton;
    disclosure_->setText(tr("Auto-calibration (advanced)"));
    disclosure_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    disclosure_->setArrowType(Qt::RightArrow);
    disclosure_->setCheckable(true);
    disclosure_->setAutoRaise(true);
    disclosure_->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 2px 0px; }"));
    advanced_->addControl(disclosure_);
    auto* details = new QWidget;
    auto* inner = new FormSection(tr("Audio detectors && capture"), details);
    auto* detailsColumn = new QVBoxLayout(details);
    detailsColumn->setContentsMargins(0, 0, 0, 0);
    detailsColumn->addWidget(inner);
    inner->addControl(
        new BoundSwitch(settings, keys::detectorSleepEnabled, uiText("Sleep detection (SoundAnalysis)")));
    inner->addControl(new BoundSwitch(settings, keys::detectorBreathRpmEnabled,
                                      tr("Breathing detection (rpm + regularity)")));
    inner->addControl(new BoundSwitch(settings, keys::detectorBreathBandEnabled,
                                      tr("BreathBand 50-800Hz (tuned heuristic)")));
    inner->addControl(new BoundSwitch(settings, keys::detectorVoiceProcessingOff,
                                      uiText("Raw capture (Voice Processing OFF)")),
                      uiText("Bypasses the macOS Voice Isolation filter so breathing sounds are not lost. "
                             "Recommended: on."));
    auto* recording = new FormSection(QString(), details);
    recording->setFlat(true);
    detailsColumn->addWidget(recording);
    recording->addControl(
        new BoundSwitch(settings, keys::detectorRecordingEnabled, tr("Record session audio (.m4a)")),
        uiText("Off by default. Enable it to fine-tune detection on YOUR nights: recorded "
               "sessions can be annotated in the dedicated window and are used to calibrate "
               "the thresholds. Everything stays local, nothing ever leaves this machine."));
    recording->addNote(
        uiText("Recordings stay on this Mac (local Mirl folder) and follow the rotation below."));
    rotation_ = new BoundPicker(settings, keys::detectorRotationDays,
                                {{tr("30 d"), 30}, {tr("60 d"), 60}, {tr("90 d"), 90}, {tr("Never"), 0}},
                                [](const BoundPicker::Value& v) { return tr("%1 d").arg(std::get<int>(v)); });
    rotationTitle_ = new QLabel;
    auto* rotationRow = new QHBoxLayout;
    rotationRow->addWidget(rotationTitle_);
    rotationRow->addStretch(1);
    rotationRow->addWidget(rotation_);
    recording->column()->addLayout(rotationRow);
    connect(rotation_, &BoundPicker::valueChanged, this, &DetectorTab::refresh);
    openData_ = new QPushButton(QIcon::fromTheme(QStringLiteral("folder-open")), tr("Open the data folder"));
    openData_->setEnabled(static_cast<bool>(deps_.dataFolder));
    auto* openRow = new QHBoxLayout;
    openRow->addWidget(openData_);
    openRow->addStretch(1);
    recording->column()->addLayout(openRow);
    connect(openData_, &QPushButton::clicked, this, [this] {
        const auto folder = deps_.dataFolder();
        if (!folder.empty() && deps_.openUrl)
            deps_.openUrl(QUrl::fromLocalFile(QString::fromStdString(folder.string())));
    });
    advanced_->addControl(details);
    details->setVisible(false);
    connect(disclosure_, &QToolButton::toggled, this, [this, details](bool open) {
        disclosure_->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        details->setVisible(open);
    });
}

void DetectorTab::refreshDevices() {
    std::vector<BoundPicker::Row> rows;
    QString systemDefault = tr("System default");
    if (deps_.devices) {
        if (auto current = deps_.devices->defaultInputDevice(); current && !current->name.empty())
            systemDefault += QStringLiteral(" (%1)").arg(QString::fromStdString(current->name));
    }
    rows.push_back({systemDefault, std::string()});
    if (deps_.devices) {
        // Keyed by uid: a device without one cannot be chosen apart from the system default.
        std::set<std::string> seen;
        for (const auto& device : deps_.devices->inputDevices()) {
            if (device.uid.empty() || !seen.insert(device.uid).second)
                continue;
            rows.push_back({QString::fromStdString(device.name), device.uid});
        }
    }
    source_->setRows(std::move(rows));
}

void DetectorTab::refresh() {
    const bool noMicrophone = deps_.settings.readBool(keys::privacyNoMicrophone, false);
    microphoneOff_->setVisible(noMicrophone);
    microphone_->setEnabled(!noMicrophone);
    advanced_->setEnabled(!noMicrophone);
    rotationTitle_->setText(tr("Auto rotation: ") + rotationText(std::get<int>(rotation_->value())));
}

} // namespace mirl
