#include "ui/review/SegmentedControl.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace mirl::review {

SegmentedControl::SegmentedControl(const QStringList& labels, QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    group_.setExclusive(true);
    for (int i = 0; i < labels.size(); ++i) {
        auto* button = new QPushButton(labels[i], this);
        button->setCheckable(true);
        button->setFocusPolicy(Qt::TabFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        group_.addButton(button, i);
        row->addWidget(button);
    }
    select(0);
    connect(&group_, &QButtonGroup::idClicked, this, [this](int id) {
        if (onSelected)
            onSelected(id);
    });
}

void SegmentedControl::select(int index) {
    if (auto* button = group_.button(index))
        button->setChecked(true);
}

} // namespace mirl::review
