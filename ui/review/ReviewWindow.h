#pragma once

#include "journal/analysis/SessionAnalysis.h"
#include "journal/annotations/AnnotationStore.h"
#include "journal/annotations/SleepIntervals.h"
#include "journal/recording/AudioPlayerModel.h"
#include "runtime/Handle.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QStackedWidget;
class QToolButton;

namespace mirl::review {

class AnalysisTimelineView;
class AnnotationForm;
class AudioPlayerView;
class SessionListPane;

/// "Annotation": past sessions on the left; for the selected one its recording, the heuristic
/// timeline of its log and the user's annotation on the right.
/// Thread rule: main thread.
class ReviewWindow final : public QWidget {
public:
    ReviewWindow(AnnotationStore& store, AudioPlayerModel& player, QWidget* parent = nullptr);
    ~ReviewWindow() override;

    /// Selects a session by id (nothing: none), as a click in the list does.
    void selectSession(const std::optional<std::string>& sessionId);
    const std::optional<SessionRef>& selected() const { return selected_; }
    const SessionAnalysis* analysis() const { return analysis_.get(); }
    AnnotationForm& form() { return *form_; }
    AudioPlayerView& playerView() { return *playerView_; }

    /// Deletes a session's files once the user confirms ("Delete" in a row's context menu).
    void requestDelete(const SessionRef& session);
    /// Asks before deleting; tests and scripts may answer instead of the dialog.
    std::function<bool(const SessionRef&)> confirmDelete;

private:
    void select(std::optional<SessionRef> session);
    void computeAnalysis();
    void markSleep(double seconds);
    void markWake(double seconds);
    void save();
    bool askToDelete(const SessionRef& session);

    AnnotationStore& store_;
    AudioPlayerModel& player_;
    std::optional<SessionRef> selected_;
    SleepIntervalsText intervals_;
    std::shared_ptr<const SessionAnalysis> analysis_;
    bool awaitingDuration_ = false; // the log is analysed once the recording's length is known

    SessionListPane* list_;
    QStackedWidget* detail_;
    QLabel* title_;
    QToolButton* openRecording_;
    AudioPlayerView* playerView_;
    AnalysisTimelineView* timeline_;
    QLabel* noTimeline_;
    AnnotationForm* form_;
    std::vector<Handle> subscriptions_;
};

} // namespace mirl::review
