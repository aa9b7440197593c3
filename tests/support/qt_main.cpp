// Test main for tests that need Qt widgets: a QApplication lives while the tests run.

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

int main(int argc, char** argv) {
    setenv("TZ", "UTC", 1);
    tzset();
    // Without any display (the widget tests, test discovery), draw off screen.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
