#pragma once

#include "core/settings/Settings.h"
#include "platform/InputDevices.h"
#include "ui/prefs/FormSection.h"

#include <filesystem>
#include <functional>

class QLabel;
class QPushButton;
class QToolButton;
class QUrl;

namespace mirl {

class BoundPicker;

/// The Detection tab: no-microphone mode, the microphone to listen with, and the detectors,
/// the recording and the rotation of the data folder.
class DetectorTab : public FormPage {
    Q_OBJECT
public:
    struct Deps {
        Settings& settings;
        InputDevices* devices = nullptr;                   // null: "System default" only
        std::function<std::filesystem::path()> dataFolder; // created when missing; empty: none
        std::function<void(const QUrl&)> openUrl;          // the desktop's default application
    };
    explicit DetectorTab(Deps deps, QWidget* parent = nullptr);
    void refresh();
    /// Re-reads the input devices and the name of the system default input.
    void refreshDevices();

    FormSection* microphoneSection() const { return microphone_; }
    FormSection* advancedSection() const { return advanced_; }
    QLabel* microphoneOffNote() const { return microphoneOff_; }
    BoundPicker* sourcePicker() const { return source_; }
    QPushButton* refreshButton() const { return refresh_; }
    BoundPicker* rotationPicker() const { return rotation_; }
    QLabel* rotationTitle() const { return rotationTitle_; }
    QToolButton* disclosure() const { return disclosure_; }
    QPushButton* openDataFolderButton() const { return openData_; }

private:
    void addPrivacySection();
    void addMicrophoneSection();
    void addAdvancedSection();

    Deps deps_;
    FormSection* microphone_;
    FormSection* advanced_;
    QLabel* microphoneOff_;
    BoundPicker* source_;
    QPushButton* refresh_;
    QToolButton* disclosure_;
    BoundPicker* rotation_;
    QLabel* rotationTitle_;
    QPushButton* openData_;
};

} // namespace mirl
