#include "tests/support/OffscreenWidgets.h"

#include <QApplication>

namespace mirl::test {

void ensureOffscreenWidgets() {
    if (QApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "mirl-widget-test";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

} // namespace mirl::test
