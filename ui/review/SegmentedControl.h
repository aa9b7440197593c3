#pragma once

#include <QButtonGroup>
#include <QStringList>
#include <QWidget>

#include <functional>

namespace mirl::review {

/// A row of joined buttons of which exactly one is selected.
class SegmentedControl final : public QWidget {
public:
    explicit SegmentedControl(const QStringList& labels, QWidget* parent = nullptr);

    int selected() const { return group_.checkedId(); }
    /// Selects without calling onSelected.
    void select(int index);
    /// Called when the user picks a segment.
    std::function<void(int)> onSelected;

private:
    QButtonGroup group_;
};

} // namespace mirl::review
