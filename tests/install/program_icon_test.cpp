// The program's icon reaches its windows: the application carries it in every size drawn
// for it, and the windows (the picture window, a sub-window, included) show it.
#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QPixmap>

#include "app/main_window.h"
#include "app/mugwarp_application.h"
#include "app/shared_state.h"
#include "app/startup.h"
#include "resources/icons/program_icon.h"
#include "tools/tool_palette.h"
#include "workarea/work_area.h"

namespace {

// Whether `image` has pixels of both kinds: covered ones and see-through ones (the tile's
// rounded corners), so neither an empty nor a square placeholder image passes.
bool looksLikeTheIcon(const QImage& image) {
    bool opaque = false;
    bool clear = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = qAlpha(image.pixel(x, y));
            opaque = opaque || alpha == 255;
            clear = clear || alpha == 0;
        }
    }
    return opaque && clear;
}

TEST(ProgramIcon, EverySizeLoadsFromTheResources) {
    const QIcon icon = programIcon();
    for (const int size : {16, 32, 48, 256}) {
        SCOPED_TRACE(size);
        const QImage image = icon.pixmap(QSize(size, size)).toImage();
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(size, size));
        EXPECT_TRUE(looksLikeTheIcon(image));
    }
}

TEST(ProgramIcon, SmallSizesUseTheirOwnDrawing) {
    // At 16 pixels the icon is the small drawing itself, not the large one shrunk.
    const QImage small = programIcon().pixmap(QSize(16, 16)).toImage();
    const QImage drawn = QImage(QStringLiteral(":/icons/mugwarp-16.png"));
    ASSERT_FALSE(drawn.isNull());
    EXPECT_EQ(small.convertToFormat(QImage::Format_ARGB32),
              drawn.convertToFormat(QImage::Format_ARGB32));
}

TEST(ProgramIcon, WindowsShowIt) {
    const qint64 programIconKey = QApplication::windowIcon().cacheKey();
    ASSERT_FALSE(QApplication::windowIcon().isNull());
    EXPECT_FALSE(QApplication::windowIcon().availableSizes().isEmpty());
    createWindows();
    ASSERT_NE(Form1, nullptr);
    ASSERT_NE(Work_area, nullptr);
    ASSERT_NE(Tools, nullptr);
    EXPECT_EQ(Form1->windowIcon().cacheKey(), programIconKey);
    EXPECT_EQ(Tools->windowIcon().cacheKey(), programIconKey);
    // A sub-window draws the icon it was given in its title bar, and the style's logo when
    // it was given none (windowIcon() would still answer with the application's icon).
    EXPECT_TRUE(Work_area->testAttribute(Qt::WA_SetWindowIcon));
    EXPECT_EQ(Work_area->windowIcon().cacheKey(), programIconKey);
    destroyWindows();
    EXPECT_EQ(Work_area, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    MugwarpApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
