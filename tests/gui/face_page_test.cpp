// The Face page driven through its real controls on the example photograph: finding the face,
// the live preview, Apply and Undo, leaving the page, the recorder's morph, a face boxed by
// hand, and the page without its model.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <cstdlib>

#include "app/main_window.h"
#include "app/shared_state.h"
#include "face/face_change.h"
#include "tests/gui/gui_test_support.h"
#include "tools/face_page.h"
#include "tools/tool_palette.h"
#include "workarea/feedback_overlay.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

namespace {

using face::Adjustment;

FacePage* showFacePage() {
    Tools->TabbedNotebook1->setCurrentIndex(kFacePage);
    FacePage* page = Tools->facePage;
    // Finding runs off the user-interface thread; the model's first load takes a second.
    EXPECT_TRUE(QTest::qWaitFor([page] { return !page->busy(); }, 60000));
    return page;
}

// Pixels of the shown control that differ from the picture itself (at 100 %).
int shownDifferences(const QRect& area) {
    const QImage shown = Work_area->Image1->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage& picture = Work_area->picture();
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += shown.pixel(x, y) != picture.pixel(x, y);
        }
    }
    return count;
}

// Pixels where two pictures differ by more than a few levels.
int farApart(const QImage& a, const QImage& b) {
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            count += std::abs(qRed(p) - qRed(q)) > 6 || std::abs(qGreen(p) - qGreen(q)) > 6 ||
                     std::abs(qBlue(p) - qBlue(q)) > 6;
        }
    }
    return count;
}

const std::optional<FaceMarks>& marks() {
    return Work_area->feedbackOverlay()->faceMarks();
}

}  // namespace

TEST(FacePage, FindsPreviewsAppliesUndoesLeavesAndMorphsWhileRecording) {
    ensureWindowsShown();
    loadTestPicture(Work_area->picture());  // the example photograph, at 100 %
    const QImage original = Work_area->picture();
    ASSERT_EQ(Tools->TabbedNotebook1->tabText(kFacePage), "Face");

    Tools->TabbedNotebook1->setCurrentIndex(kFacePage);
    FacePage* page = Tools->facePage;
    EXPECT_EQ(Tools->ProgressBar1->maximum(), 0) << "the bar moves while faces are found";
    ASSERT_TRUE(QTest::qWaitFor([page] { return !page->busy(); }, 60000));
    ASSERT_EQ(page->faces().size(), 1u) << page->status().toStdString();
    EXPECT_TRUE(page->status().startsWith("One face found"));
    EXPECT_GT(Tools->ProgressBar1->maximum(), 0);
    ASSERT_TRUE(marks().has_value());
    ASSERT_EQ(marks()->faces.size(), 1u);
    EXPECT_EQ(marks()->faces[0].lines.size(), 9u);
    EXPECT_TRUE(marks()->faces[0].chosen);
    EXPECT_FALSE(page->applyButton()->isEnabled());

    // A slider previews over the unchanged picture, around the face only.
    const QRect face = page->faces()[0].box.toAlignedRect();
    page->slider(Adjustment::Caricature)->setValue(60);
    ASSERT_TRUE(QTest::qWaitFor([] { return Work_area->Image1->hasPreview(); }, 5000));
    EXPECT_EQ(Work_area->picture(), original);
    EXPECT_GT(shownDifferences(face), face.width() * face.height() / 50);
    const QRect previewed = Work_area->Image1->shownPreviewRegion();
    EXPECT_TRUE(previewed.contains(face));
    ASSERT_GT(previewed.left(), 0);
    ASSERT_LT(previewed.right(), original.width() - 1);
    EXPECT_EQ(shownDifferences(QRect(0, 0, previewed.left(), original.height())), 0);
    EXPECT_EQ(shownDifferences(QRect(QPoint(previewed.right() + 1, 0),
                                     QPoint(original.width() - 1, original.height() - 1))),
              0);
    EXPECT_TRUE(page->applyButton()->isEnabled());

    // Apply: one step, the change as the batch tool makes it; one Undo takes it back.
    face::FaceSettings sixty;
    sixty[Adjustment::Caricature] = 60;
    const QImage expected = face::changeFaces(original, page->faces(), sixty).picture;
    const int undoBefore = UndoCount;
    page->applyButton()->click();
    EXPECT_EQ(UndoCount, undoBefore + 1);
    // Through the warp session's field, which resamples the same map at its own nodes.
    EXPECT_NE(Work_area->picture(), original);
    EXPECT_LT(farApart(Work_area->picture(), expected), face.width() * face.height() / 200);
    EXPECT_FALSE(Work_area->Image1->hasPreview());
    EXPECT_EQ(page->slider(Adjustment::Caricature)->value(), 0);
    Form1->Undo1Click();
    EXPECT_EQ(Work_area->picture(), original);
    ASSERT_TRUE(QTest::qWaitFor([page] { return !page->busy(); }, 30000));
    ASSERT_EQ(page->faces().size(), 1u);

    // Values that would fold the picture are held back, and the page says so.
    page->slider(Adjustment::Caricature)->setValue(300);
    page->slider(Adjustment::EyeSize)->setValue(100);
    page->slider(Adjustment::MouthWidth)->setValue(100);
    page->slider(Adjustment::MouthHeight)->setValue(100);
    page->slider(Adjustment::NoseWidth)->setValue(100);
    ASSERT_TRUE(QTest::qWaitFor([page] { return !page->limitNote().isEmpty(); }, 5000));
    EXPECT_TRUE(page->limitNote().startsWith("Limited to ")) << page->limitNote().toStdString();
    page->resetButton()->click();
    EXPECT_EQ(page->slider(Adjustment::Caricature)->value(), 0);
    EXPECT_FALSE(page->resetButton()->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([] { return !Work_area->Image1->hasPreview(); }, 5000));
    EXPECT_TRUE(page->limitNote().isEmpty());

    // Leaving the page drops an unapplied change.
    page->slider(Adjustment::Smile)->setValue(80);
    ASSERT_TRUE(QTest::qWaitFor([] { return Work_area->Image1->hasPreview(); }, 5000));
    Tools->TabbedNotebook1->setCurrentIndex(kDistortPage);
    EXPECT_FALSE(Work_area->Image1->hasPreview());
    EXPECT_FALSE(marks().has_value());
    EXPECT_EQ(page->slider(Adjustment::Smile)->value(), 0);
    EXPECT_EQ(Work_area->picture(), original);

    // While recording, Frames 5 stores the change as five steps from the face to it.
    Tools->SpeedButton5->click();
    const int firstFrame = CurrentFrame;
    page = showFacePage();
    page->framesBox()->setValue(5);
    page->slider(Adjustment::Caricature)->setValue(100);
    page->applyButton()->click();
    EXPECT_EQ(CurrentFrame, firstFrame + 5);
    const QImage last = Work_area->picture();
    const QImage middle = recordedFrame(firstFrame + 2);
    EXPECT_NE(middle, original);
    EXPECT_NE(middle, last);
    Tools->SpeedButton6->click();
}

TEST(FacePage, ABoxedFaceIsFittedAndChosenAndAPictureWithoutOneSaysSo) {
    ensureWindowsShown();
    loadTestPicture(patternPicture(400, 300));
    FacePage* page = showFacePage();
    EXPECT_TRUE(page->faces().empty());
    EXPECT_EQ(page->status(), "No face was found. Drag a box around a face.");
    EXPECT_FALSE(page->slider(Adjustment::Caricature)->isEnabled());

    // A drag boxes a face; its landmarks are fitted inside the box.
    PictureControl* image = Work_area->Image1;
    pressOn(image, Qt::LeftButton, QPoint(100, 60));
    moveOn(image, Qt::LeftButton, QPoint(200, 160));
    moveOn(image, Qt::LeftButton, QPoint(300, 260));
    ASSERT_TRUE(marks().has_value());
    ASSERT_TRUE(marks()->box.has_value());
    releaseOn(image, Qt::LeftButton, QPoint(300, 260));
    ASSERT_TRUE(QTest::qWaitFor([page] { return !page->busy(); }, 60000));
    ASSERT_EQ(page->faces().size(), 1u) << page->status().toStdString();
    EXPECT_EQ(page->chosenFace(), 0);
    const QRectF grown = QRectF(100, 60, 200, 200).adjusted(-40, -40, 40, 40);
    for (const QPointF& point : page->faces()[0].points) {
        EXPECT_TRUE(grown.contains(point)) << point.x() << "," << point.y();
    }
    EXPECT_TRUE(page->slider(Adjustment::Caricature)->isEnabled());

    // A second box, then a click into the first face chooses it again.
    pressOn(image, Qt::LeftButton, QPoint(10, 10));
    moveOn(image, Qt::LeftButton, QPoint(90, 90));
    releaseOn(image, Qt::LeftButton, QPoint(90, 90));
    ASSERT_TRUE(QTest::qWaitFor([page] { return !page->busy(); }, 60000));
    ASSERT_EQ(page->faces().size(), 2u);
    EXPECT_EQ(page->chosenFace(), 1);
    EXPECT_TRUE(page->nextFaceButton()->isEnabled());
    pressOn(image, Qt::LeftButton, QPoint(200, 160));
    releaseOn(image, Qt::LeftButton, QPoint(200, 160));
    EXPECT_EQ(page->chosenFace(), 0);
    page->nextFaceButton()->click();
    EXPECT_EQ(page->chosenFace(), 1);
    ASSERT_EQ(marks()->faces.size(), 2u);
    EXPECT_TRUE(marks()->faces[1].chosen);
    EXPECT_FALSE(marks()->faces[0].chosen);
}

TEST(FacePage, WithoutItsModelThePageNamesThePackageAndTheRestWorks) {
    setenv("MUGWARP_FACE_MODEL", "/nonexistent/landmarks.dat", 1);
    ensureWindowsShown();
    const QImage original = Work_area->picture();
    FacePage* page = showFacePage();
    EXPECT_TRUE(page->faces().empty());
    EXPECT_NE(page->status().indexOf("libdlib-data"), -1) << page->status().toStdString();
    EXPECT_FALSE(page->slider(Adjustment::Caricature)->isEnabled());
    // The other pages are as they were: a click on the Distort page distorts.
    Tools->TabbedNotebook1->setCurrentIndex(kDistortPage);
    pressOn(Work_area->Image1, Qt::LeftButton, QPoint(200, 200));
    releaseOn(Work_area->Image1, Qt::LeftButton, QPoint(200, 200));
    EXPECT_NE(Work_area->picture(), original);
}
