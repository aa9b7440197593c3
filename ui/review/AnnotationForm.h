#pragma once

#include "journal/annotations/AnnotationStore.h"

#include <QWidget>

#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSlider;

namespace mirl::review {

class SegmentedControl;

/// The annotation of the selected session: its type, the sleep periods, the perceived quality
/// and a comment, with "Save" (Ctrl+Return) and a green "Saved" once stored.
class AnnotationForm final : public QWidget {
public:
    explicit AnnotationForm(QWidget* parent = nullptr);

    struct Fields {
        SessionType type = SessionType::other;
        std::string intervals;
        int quality = 3;
        std::string comment;
    };
    void setFields(const Fields& fields);
    Fields fields() const;
    /// Replaces the periods text (after a marking button) without calling onIntervalsEdited.
    void setIntervals(const std::string& text);
    void setSaved(bool saved);

    std::function<void(const std::string&)> onIntervalsEdited;
    std::function<void()> onSave;

private:
    SegmentedControl* type_;
    QLineEdit* intervals_;
    QSlider* quality_;
    QLabel* qualityLabel_;
    QPlainTextEdit* comment_;
    QLabel* saved_;
};

} // namespace mirl::review
