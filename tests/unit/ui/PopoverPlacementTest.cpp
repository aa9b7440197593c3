#include "ui/tray/PopoverPlacement.h"

#include <gtest/gtest.h>

using namespace mirl;

namespace {

const QRect kScreen(0, 0, 1920, 1080);
const QSize kPopover(340, 520);

} // namespace

TEST(PopoverPlacement, OpensAwayFromThePanelTheIconSitsOn) {
    struct Row {
        const char* where;
        QRect icon;
        QRect available;
        QPoint expected;
    };
    const Row rows[] = {
        // Top panel, icon in the middle: below it, centred, inside the area the panel leaves.
        {"top", QRect(900, 0, 24, 24), QRect(0, 28, 1920, 1052), QPoint(741, 32)},
        // Top panel, icon in the corner: below it, pushed back inside the screen.
        {"top right", QRect(1890, 2, 24, 24), QRect(0, 28, 1920, 1052), QPoint(1576, 32)},
        // Bottom panel: above it.
        {"bottom", QRect(1000, 1052, 24, 24), QRect(0, 0, 1920, 1048), QPoint(841, 524)},
        // Left vertical panel: to its right, centred on the icon.
        {"left", QRect(4, 500, 24, 24), QRect(32, 0, 1888, 1080), QPoint(36, 251)},
        // Right vertical panel near the bottom: to its left, clamped above the screen's edge.
        {"right", QRect(1892, 1000, 24, 24), QRect(0, 0, 1888, 1080), QPoint(1544, 556)},
    };
    for (const Row& row : rows)
        EXPECT_EQ(popoverPosition(row.icon, QPoint(5, 5), kPopover, kScreen, row.available), row.expected)
            << row.where;
}

TEST(PopoverPlacement, WithoutAnIconGeometryTheCursorStandsIn) {
    // The cursor near the top right corner (a top panel's icon the host did not tell us about).
    EXPECT_EQ(popoverPosition(QRect(), QPoint(1800, 10), kPopover, kScreen, kScreen), QPoint(1576, 17));
    // Mid-screen, nearest the left edge: to the right of the cursor.
    EXPECT_EQ(popoverPosition(QRect(), QPoint(300, 540), kPopover, kScreen, kScreen), QPoint(307, 280));
}

TEST(PopoverPlacement, StaysOnItsOwnScreenAndShowsItsTopLeftWhenTooBig) {
    const QRect second(1920, 0, 1280, 1024);
    const QPoint onSecond = popoverPosition(QRect(3180, 0, 20, 20), QPoint(), kPopover, second, second);
    EXPECT_GE(onSecond.x(), second.left());
    EXPECT_LE(onSecond.x() + kPopover.width(), second.right() + 1);
    EXPECT_EQ(onSecond, QPoint(3200 - 4 - 340, 26));
    const QRect tiny(0, 0, 300, 400);
    EXPECT_EQ(popoverPosition(QRect(150, 0, 10, 10), QPoint(), kPopover, tiny, tiny), QPoint(4, 4));
}
