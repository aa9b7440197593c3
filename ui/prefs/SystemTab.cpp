#include "ui/prefs/SystemTab.h"

#include "core/settings/SettingsKeys.h"
#include "fade/WakeSound.h"
#include "fade/WakeSoundChoice.h"
#include "platform/linux/XdgAutostart.h"
#include "ui/prefs/BoundControls.h"
#include "ui/prefs/FormSection.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

namespace mirl {

namespace {

QString quoted(const BoundPicker::Value& value) {
    return QStringLiteral("“%1”").arg(QString::fromStdString(std::get<std::string>(value)));
}

QString hourText(int hour) {
    return QStringLiteral("%1 h").arg(hour);
}

std::vector<BoundPicker::Row> hourRows(int first, int last) {
    std::vector<BoundPicker::Row> rows;
    for (int hour = first; hour <= last; ++hour)
        rows.push_back({hourText(hour), hour});
    return rows;
}

std::vector<BoundPicker::Row> durationRows(std::initializer_list<int> seconds) {
    std::vector<BoundPicker::Row> rows;
    for (int s : seconds)
        rows.push_back({durationText(s), s});
    return rows;
}

QString unlistedDuration(const BoundPicker::Value& value) {
    return durationText(std::get<int>(value));
}

QString unlistedHour(const BoundPicker::Value& value) {
    return hourText(std::get<int>(value));
}

WakeSoundChoice chosenSound(const BoundPicker::Value& value) {
    // An unknown stored text plays the birds, as at the end of a nap.
    return wakeSoundChoiceFromRaw(std::get<std::string>(value)).value_or(WakeSoundChoice::birds);
}

} // namespace

QString durationText(int seconds) {
    if (seconds != 0 && seconds % 60 == 0)
        return QStringLiteral("%1 min").arg(seconds / 60);
    return QStringLiteral("%1 s").arg(seconds);
}

SystemTab::SystemTab(Settings& settings, WakeSound* wakeSound, XdgAutostart* autostart, QWidget* parent)
    : FormPage(parent), wakeSoundPlayer_(wakeSound), autostart_(autostart) {
    addModeSection(settings);
    addBehaviorSection(settings);
    addAutoModeSection(settings);
    addLaunchSection(settings);
    finish();
    refresh();
}

void SystemTab::addModeSection(Settings& settings) {
    auto* mode = addSection(tr("Mode"));
    mode_ = new BoundPicker(settings, keys::modeTimerMode,
                            {{QStringLiteral("🕑 Auto"), std::string("auto")},
                             {QStringLiteral("🌙 Night"), std::string("night")},
                             {QStringLiteral("☀️ Nap"), std::string("nap")}},
                            [](const BoundPicker::Value& v) { return quoted(v) + tr(" (works as Auto)"); });
    mode_->setMinimumContentsLength(9); // room for the emoji, which the width guess misses
    mode->addRow(tr("Session mode"), mode_);
    mode->addNote(uiText("Auto (recommended): Nap during the day, Night in the evening, based on when the "
                         "timer starts. The popover no longer shows this choice — it stays simple."));
}

void SystemTab::addBehaviorSection(Settings& settings) {
    auto* behavior = addSection(tr("Behavior"));
    behavior->addControl(new BoundSwitch(settings, keys::systemSleepOnFire,
                                         uiText("Put the Mac to sleep when the timer ends")),
                         uiText("Night mode only. Off = the timer expires but the Mac stays awake. Nap mode "
                                "never puts the Mac to sleep, whatever this option says."));
    behavior->addControl(
        new BoundSwitch(settings, keys::systemPrewarnEnabled, uiText("Pre-sleep alert (+10/+20/+30)")),
        uiText("Night mode only. Shows a clickable pop-up shortly before the Mac goes to sleep, so you can "
               "extend if you are still awake."));
    prewarnLead_ = new BoundPicker(settings, keys::systemPrewarnLeadSec, durationRows({30, 60, 120, 180}),
                                   unlistedDuration);
    behavior->addRow(tr("Pre-alert lead time"), prewarnLead_);
    wakeLead_ = new BoundPicker(settings, keys::modeNapWakeLeadSec, durationRows({60, 120, 180, 300}),
                                unlistedDuration);
    behavior->addRow(tr("Gentle wake-up duration"), wakeLead_,
                     uiText("In Nap mode, the ambiance and volume gradually ramp back to normal over this "
                            "period before the timer ends, for a wake-up without a jolt."));

    std::vector<BoundPicker::Row> sounds;
    for (WakeSoundChoice choice : allWakeSoundChoices)
        sounds.push_back({QString::fromUtf8(displayName(choice)), std::string(rawValue(choice))});
    wakeSound_ =
        new BoundPicker(settings, keys::modeNapWakeSound, std::move(sounds),
                        [](const BoundPicker::Value& v) { return quoted(v) + tr(" (plays Birds)"); });
    behavior->addRow(tr("Wake-up sound"), wakeSound_,
                     uiText("Played in a loop at the end of the nap, starting quiet and getting gradually "
                            "louder. It stops as soon as you move the mouse or press a key."));
    preview_ = new QPushButton(QIcon::fromTheme(QStringLiteral("media-playback-start")), tr("Preview"));
    auto* previewRow = new QHBoxLayout;
    previewRow->addStretch(1);
    previewRow->addWidget(preview_);
    behavior->column()->addLayout(previewRow);
    behavior->addNote(
        uiText("Without a sound, the end of a nap is silent: the screen simply returns to normal."));
    connect(wakeSound_, &BoundPicker::valueChanged, this, &SystemTab::updatePreview);
    connect(preview_, &QPushButton::clicked, this, [this] {
        if (wakeSoundPlayer_)
            wakeSoundPlayer_->preview(chosenSound(wakeSound_->value()));
    });
}

void SystemTab::addAutoModeSection(Settings& settings) {
    auto* autoMode = addSection(tr("Auto mode"));
    dayStart_ = new BoundPicker(settings, keys::modeAutoDayStartHour, hourRows(6, 12), unlistedHour);
    autoMode->addRow(tr("Nap starting at (morning)"), dayStart_);
    nightStart_ = new BoundPicker(settings, keys::modeAutoNightStartHour, hourRows(17, 22), unlistedHour);
    autoMode->addRow(tr("Night starting at (evening)"), nightStart_);
    autoMode->addNote(uiText("In Auto mode, Mirl picks Nap during the day and Night in the evening/at night, "
                             "based on when the timer starts."));
}

void SystemTab::addLaunchSection(Settings& settings) {
    auto* launch = addSection(tr("Launch"));
    login_ = new QCheckBox(tr("Start Mirl when I log in"));
    launch->addControl(login_, tr("Mirl starts in the tray when you log in to this computer."));
    loginError_ = launch->addNote(QString());
    loginError_->setForegroundRole(QPalette::WindowText);
    loginError_->hide();
    connect(login_, &QCheckBox::toggled, this, &SystemTab::loginToggled);
    launch->addControl(new BoundSwitch(settings, keys::systemShowInDock, uiText("Show the Dock icon")),
                       uiText("Takes effect at next launch. The menu bar icon always stays active."));
}

void SystemTab::refresh() {
    updatePreview();
    QSignalBlocker quiet(login_);
    login_->setEnabled(autostart_ != nullptr);
    login_->setChecked(autostart_ && autostart_->isEnabled());
}

void SystemTab::updatePreview() {
    const auto choice = chosenSound(wakeSound_->value());
    preview_->setEnabled(wakeSoundPlayer_ != nullptr && choice != WakeSoundChoice::none);
}

void SystemTab::loginToggled(bool on) {
    if (!autostart_)
        return;
    if (auto error = autostart_->setEnabled(on)) {
        loginError_->setText(tr("Could not change the login entry: %1").arg(QString::fromStdString(*error)));
        loginError_->show();
        QSignalBlocker quiet(login_);
        login_->setChecked(autostart_->isEnabled());
        return;
    }
    loginError_->hide();
}

} // namespace mirl
