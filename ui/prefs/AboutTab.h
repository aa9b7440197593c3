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

} // namespace mirl
