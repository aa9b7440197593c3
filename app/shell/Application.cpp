#include "app/shell/Application.h"

#include <cstdlib>

namespace mirl {

std::unique_ptr<QApplication> makeApplication(int& argc, char** argv) {
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    if (!set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    auto app = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Mirl"));
    QApplication::setQuitOnLastWindowClosed(false);
    return app;
}

} // namespace mirl
