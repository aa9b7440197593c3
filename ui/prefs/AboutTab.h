#pragma once

#include <QWidget>

namespace mirl {

/// The About tab: the icon, the name, the version, the tagline, how updates arrive, and the
/// privacy note.
class AboutTab : public QWidget {
    Q_OBJECT
public:
    explicit AboutTab(QWidget* parent = nullptr);
};

/// Mirl's icon: from the icon theme when Mirl is installed, else the copy built into the program.
QIcon mirlIcon();

} // namespace mirl
