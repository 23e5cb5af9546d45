// TWork_area: the picture window inside the main window. It shows the edited
// picture in Image1, turns mouse actions into tool actions and runs the
// distortions at the press point.
#pragma once

#include <QFont>
#include <QImage>
#include <QMdiSubWindow>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "app/shared_state.h"
#include "effects/sign_drawing.h"
#include "workarea/feedback_overlay.h"

class PictureControl;
class PictureTool;
class QLabel;
class QPlainTextEdit;
class QScrollArea;
class QScrollBar;

// Four 32-bit integers: a rectangle as left, top, right, bottom or a segment as x1, y1, x2, y2.
struct IntQuad {
    int32_t a = 0;
    int32_t b = 0;
    int32_t c = 0;
    int32_t d = 0;
    bool operator==(const IntQuad&) const = default;
};

class TWork_area : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit TWork_area(QWidget* parent = nullptr);
    ~TWork_area() override;

    // Controls.
    PictureControl* Image1 = nullptr;
    QLabel* Label1 = nullptr;          // rendering aid of the text sign
    QPlainTextEdit* Memo1 = nullptr;   // text box of the text sign
    QTimer* Timer1 = nullptr;          // repeats the distortion while the left button is held
    QTimer* Timer2 = nullptr;          // animates the selection outline
    QScrollArea* ScrollBox = nullptr;  // the window's scrolling client area

    // Fields, window-client coordinates unless noted.
    IntPoint LineStart;  // picture pixels
    IntQuad BrushBox;    // left, top, right, bottom
    IntPoint BrushArcStart;
    IntQuad BandRect;     // x1, y1, x2, y2
    IntQuad PreviewLine;  // x1, y1, x2, y2
    IntPoint LineAnchor;
    uint8_t AntsPhase = 128;  // one set bit: where the outline's dash pattern starts
    uint8_t AntsMask = 128;   // one set bit: the outline pixel being drawn

    // The text box: the Memo1-relative point where a move or resize began, and which of
    // the two is under way.
    IntPoint MemoGrip;
    uint8_t MemoMoving = 0;
    uint8_t MemoSizing = 0;
    // FontDialog1: asks for a font starting at `initial`; empty when the user cancels.
    // Opens the modal font dialog unless replaced (tests replace it).
    std::function<std::optional<QFont>(const QFont& initial)> chooseFont;

    // Mouse dispatch; X and Y are relative to Image1. `buttons` holds every button
    // down during the event (the shift state), `button` the one that changed.
    void Image1MouseDown(Qt::MouseButton button, Qt::MouseButtons buttons, int X, int Y);
    void Image1MouseMove(Qt::MouseButtons buttons, int X, int Y);
    void Image1MouseUp(Qt::MouseButton button, Qt::MouseButtons buttons, int X, int Y);
    void Image1Click();
    void Timer1Timer();
    void Timer2Timer();
    void PictureMouseEnter();
    void PictureMouseLeave();
    void ScrollHookProc();

    void setsigncursor();
    // Ends a press held on the picture: the repeat stops, the button counts as up and the
    // pointer is free again. Runs before every message box (see app/error_box.h).
    void endHeldPress();

    // The sign steps of the Sign page, X and Y relative to Image1.
    void signPress(int X, int Y);
    void signMove(int X, int Y);
    void signRelease(int X, int Y);
    // Ends a line or stroke under way when the palette leaves the Sign page: the preview
    // goes, and segments a stroke has already drawn are recorded as its step.
    void endSignDrag();
    // The text box's handlers, X and Y relative to Memo1.
    void Memo1MouseDown(Qt::MouseButtons buttons, int X, int Y);
    void Memo1MouseMove(Qt::MouseButtons buttons, int X, int Y);
    void Memo1MouseUp(Qt::MouseButton button, int X, int Y);
    void Memo1DblClick();
    // The colour of the text box's font, the colour its text is written in.
    QColor memoFontColour() const;
    // Routes a mouse event of the text box or its text area (`watched`) to the handlers
    // above; true when the event was used up.
    bool memoEvent(QWidget* watched, QEvent* event);

    // The distortion dispatch and the disc effects, centred on picture pixel (X, Y).
    void distortAt(IntPoint centre);
    void SphericalStretch(int X, int Y);
    void VerticalStretch(int X, int Y);
    void HorizontalStretch(int X, int Y);
    void Sphericalpengzhang(int X, int Y);
    void Sphericalshousuo(int X, int Y);
    void Sphericalyouxuan(int X, int Y);
    void Sphericalzuoxuan(int X, int Y);
    void Verticalpengzhang(int X, int Y);
    void Verticalshousuo(int X, int Y);
    void Horizontalpengzhang(int X, int Y);
    void Horizontalshousuo(int X, int Y);
    uint32_t xiangsujuhe(double& x, double& y, const QImage& source) const;

    // The smudge from ClickPoint to the release point (X, Y) relative to Image1.
    void tumopic(int X, int Y);
    // The wave over the whole picture, recorded as one history step.
    void WaveWrap(int a, int b, int c);
    // The pencil sketch: the kept edge image (SketchBitmap), its black-and-white rendering
    // by a threshold and its grey rendering through the contrast curve at `angle` degrees.
    void picsobel();
    void twovalue(int threshold);
    void pencilContrast(int angle);

    // On-screen feedback.
    void DrawTheRect1();
    void RemoveTheRect1();
    void RemoveTheRect2();
    void DrawTheBrush();
    void RemoveTheBrush();
    void DrawTheLine();
    void RemoveTheLine();
    // The marks' widget over the visible area, made on first use.
    FeedbackOverlay* feedbackOverlay();

    // The tool that takes the left button on the picture while its page is shown; none gives
    // the button back to the distortions and signs.
    void setPictureTool(PictureTool* tool);

    // Window-client point of a point relative to Image1.
    QPoint clientPoint(int X, int Y) const;
    // The current picture.
    const QImage& picture() const;
    void setPicture(QImage picture);
    // Sizes Image1 to the picture times the zoom label's percentage.
    void fitPictureToZoom();

protected:
    void showEvent(QShowEvent* event) override;
    // The close box minimises the window inside the main window, as a child of a
    // multiple-document frame does: the picture window is never lost.
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void createTextSign();
    void FormShow();
    void FormClose();
    bool AppMessage(QEvent* event);
    void pan(int X, int Y);
    int paletteIndex() const;
    // Picture pixel under a point relative to Image1, with fractions.
    QPointF picturePoint(int X, int Y) const;

    // Steps the mask and records the outline pixel at window point (X, Y).
    void AntsPixelProc(int X, int Y, std::vector<BandPixel>& canvas);

    // The text press: the box at window point `at` with the initial text.
    void showTextBox(QPoint at);
    // Keeps the text box and its label over the same picture point while the view scrolls.
    void followScroll();
    // The pen of the sign tools: Panel2's colour and PenWidth as they are now.
    effects::SignPen currentSignPen() const;
    // Repaints Image1 over a changed part of the picture.
    void showPictureChange(const QRect& pictureArea);

    bool shown_ = false;
    PictureTool* pictureTool_ = nullptr;
    // Whether the left press under way went to pictureTool_.
    bool toolPress_ = false;
    // The application-wide filter that hands wheel events to AppMessage, and only those.
    QObject* wheelHook_ = nullptr;
    FeedbackOverlay* Overlay = nullptr;
    // The palette page of the last press on Image1: a press begun on the Sign page never
    // distorts, even when the page changes before the release.
    int pressPage_ = 0;
    // The line or stroke a left press on the Sign page began (SignTool 1 or 2), 0 for none.
    int signDrag_ = 0;
    // The picture canvas's pen and its position during a stroke.
    effects::SignPen picturePen_;
    IntPoint penPosition_;
    effects::DashPhase penDash_;
    bool strokeDrew_ = false;
    QPoint scrollOrigin_;
};
