#pragma once

#include "journal/annotations/AnnotationStore.h"
#include "runtime/Handle.h"

#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QListWidget;
class QPushButton;

namespace mirl::review {

class SegmentedControl;

/// The past sessions: a refresh button, the annotation filter and the type menu, and one row
/// per session (a status dot, the id, the annotated type and "missing audio" when there is no
/// recording), with "Delete" in each row's context menu.
class SessionListPane final : public QWidget {
public:
    SessionListPane(AnnotationStore& store, QWidget* parent = nullptr);

    /// Selects the row of that session (none: clears the selection) without calling onSelected.
    void select(const std::optional<std::string>& sessionId);

    std::function<void(std::optional<SessionRef>)> onSelected;
    std::function<void(const SessionRef&)> onDeleteRequested;

private:
    void rebuild();
    void showTypeFilter();

    AnnotationStore& store_;
    SegmentedControl* filter_;
    QPushButton* typeMenu_;
    QListWidget* list_;
    std::vector<SessionRef> shown_;
    std::optional<std::string> selectedId_;
    bool rebuilding_ = false;
    std::vector<Handle> subscriptions_;
};

} // namespace mirl::review
