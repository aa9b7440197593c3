#include "ui/prefs/PreferencesView.h"

#include "ui/art/AppIcon.h"
#include "ui/prefs/AboutTab.h"
#include "ui/prefs/AmbianceTab.h"
#include "ui/prefs/BoundControls.h"
#include "ui/prefs/DetectorTab.h"
#include "ui/prefs/FadeTab.h"
#include "ui/prefs/SystemTab.h"

#include <QDesktopServices>
#include <QIcon>
#include <QShortcut>
#include <QShowEvent>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace mirl {

PreferencesView::PreferencesView(Deps deps, QWidget* parent) : QWidget(parent), tabs_(new QTabWidget(this)) {
    if (!deps.openUrl)
        deps.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    system_ = new SystemTab(deps.settings, deps.wakeSound, deps.autostart);
    ambiance_ = new AmbianceTab(deps.settings);
    detector_ = new DetectorTab({deps.settings, deps.devices, deps.dataFolder, deps.openUrl});
    fade_ = new FadeTab(deps.settings);
    if (deps.watchDevices)
        devicesWatch_ = deps.watchDevices([this] { detector_->refreshDevices(); });
    about_ = new AboutTab;
    auto icon = [](const char* name) { return QIcon::fromTheme(QString::fromLatin1(name)); };
    tabs_->addTab(system_, icon("preferences-system"), tr("System"));
    tabs_->addTab(ambiance_, icon("weather-clear-night"), tr("Ambiance"));
    tabs_->addTab(detector_, icon("audio-input-microphone"), tr("Detection"));
    tabs_->addTab(fade_, icon("preferences-desktop-screensaver"), tr("Auto-fade"));
    tabs_->addTab(about_, icon("help-about"), tr("About"));
    tabs_->setDocumentMode(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 6, 0, 0);
    layout->addWidget(tabs_);
    // Ctrl+W and Escape close the window, as in other preferences windows of the desktop.
    for (const QKeySequence& keys : {QKeySequence(QKeySequence::Close), QKeySequence(Qt::Key_Escape)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
    setWindowTitle(tr("Mirl Preferences"));
    setWindowIcon(appIcon());
    resize(560, 720);
}

void PreferencesView::reload() {
    for (auto* control : findChildren<BoundSwitch*>())
        control->reload();
    for (auto* control : findChildren<BoundSlider*>())
        control->reload();
    detector_->refreshDevices(); // reloads the source picker
    for (auto* control : findChildren<BoundPicker*>()) {
        if (control != detector_->sourcePicker())
            control->reload();
    }
    system_->refresh();
    ambiance_->refresh();
    detector_->refresh();
}

void PreferencesView::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        reload();
    QWidget::showEvent(event);
}

} // namespace mirl
