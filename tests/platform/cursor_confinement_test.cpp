#include <gtest/gtest.h>

#include <QGuiApplication>

#include "platform/cursor_confinement.h"

TEST(CursorConfinement, ClampsIntoTheRectangleUntilReleased) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    platform::LockCursorToRect(QRect(100, 50, 200, 100));  // x 100..299, y 50..149
    EXPECT_EQ(platform::confinedPoint({10, 10}), QPoint(100, 50));
    EXPECT_EQ(platform::confinedPoint({400, 120}), QPoint(299, 120));
    EXPECT_EQ(platform::confinedPoint({150, 149}), QPoint(150, 149));
    EXPECT_EQ(platform::confinedPoint({150, 150}), QPoint(150, 149));
    platform::UnlockCursor();
    EXPECT_TRUE(platform::cursorConfinement().isEmpty());
    EXPECT_EQ(platform::confinedPoint({10, 10}), QPoint(10, 10));
}
