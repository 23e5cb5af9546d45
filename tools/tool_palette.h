// TTools: the floating tool palette. Its first four pages choose the tool family and
// its parameters; the handlers write the shared editing state and set the
// picture window's hint and cursor, and the effects read the track bars
// directly when they run. The fifth page changes faces, the sixth warps with brushes. Below the
// pages sit the progress bar of a running distortion and the step recorder's buttons.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

#include "app/shared_state.h"
#include "tools/track_bar.h"

class TWork_area;

class QButtonGroup;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;
class QToolButton;
class ColourPanel;
class FacePage;
class WarpPage;

class TTools : public QWidget {
    Q_OBJECT
public:
    explicit TTools(QWidget* parent = nullptr);

    // TabbedNotebook1's pages are numbered by kDistortPage ... kWarpPage (app/shared_state.h).

    QTabWidget* TabbedNotebook1 = nullptr;

    // Distort page.
    QRadioButton* RadioButton1 = nullptr;  // Spherical
    QRadioButton* RadioButton2 = nullptr;  // Vertical
    QRadioButton* RadioButton3 = nullptr;  // Horizontal
    QWidget* Panel1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;  // expand
    QToolButton* SpeedButton2 = nullptr;  // shrink
    QLabel* Label3 = nullptr;
    TrackBar* TrackBar1 = nullptr;  // radius
    QLabel* Label2 = nullptr;
    QLabel* Label4 = nullptr;
    TrackBar* TrackBar2 = nullptr;  // strength
    QLabel* Label5 = nullptr;

    // Twist page.
    QToolButton* SpeedButton11 = nullptr;  // clockwise twirl
    QToolButton* SpeedButton12 = nullptr;  // anticlockwise twirl
    QToolButton* SpeedButton3 = nullptr;   // smudge
    QLabel* Label13 = nullptr;
    TrackBar* TrackBar3 = nullptr;  // radius
    QLabel* Label6 = nullptr;
    QLabel* Label14 = nullptr;
    TrackBar* TrackBar4 = nullptr;  // strength
    QLabel* Label7 = nullptr;
    QPushButton* Button1 = nullptr;  // Wave

    // Sketch page.
    QLabel* Label8 = nullptr;
    TrackBar* TrackBar5 = nullptr;  // pen pressure, the black-and-white threshold
    QLabel* Label9 = nullptr;
    QToolButton* SpeedButton8 = nullptr;  // OK for the threshold pass
    QLabel* Label1 = nullptr;
    TrackBar* TrackBar7 = nullptr;  // pencil contrast
    QLabel* Label11 = nullptr;
    QToolButton* SpeedButton9 = nullptr;  // OK for the contrast pass

    // Sign page.
    QToolButton* SpeedButton14 = nullptr;  // Beeline
    QToolButton* SpeedButton15 = nullptr;  // Pen
    QToolButton* SpeedButton13 = nullptr;  // Text
    QFrame* Panel2 = nullptr;              // its colour is the sign colour
    QLabel* Label15 = nullptr;
    TrackBar* TrackBar6 = nullptr;  // pen thickness
    QLabel* Label10 = nullptr;

    // Face page: finds the faces and changes them (see tools/face_page.h).
    FacePage* facePage = nullptr;
    // Warp page: live warp brushes (see tools/warp_page.h).
    WarpPage* warpPage = nullptr;

    // Below the pages.
    QProgressBar* ProgressBar1 = nullptr;
    QWidget* Panel3 = nullptr;
    QToolButton* SpeedButton5 = nullptr;  // Start record
    QToolButton* SpeedButton6 = nullptr;  // Stop record
    QToolButton* SpeedButton7 = nullptr;  // Play the record
    QToolButton* SpeedButton4 = nullptr;  // Export the record as executable file
    QLabel* Label12 = nullptr;            // recorder status
    QTimer* Timer1 = nullptr;             // playback, 100 ms

    // The colour of every sign.
    QColor signColour() const;

    // Asks for a colour starting at `initial`; empty when the user cancels.
    // Opens the modal colour dialog unless replaced (tests replace it).
    std::function<std::optional<QColor>(const QColor& initial)> chooseColour;
    // Shows a fixed message in a plain box; replaceable like chooseColour.
    std::function<void(const QString& text)> showMessage;

    // SaveDialog1: asks where to export the record; the typed name and the chosen type
    // (kExportProgram or kExportAnimation), empty when the user cancels. Replaceable for tests.
    static constexpr int kExportProgram = 0;
    static constexpr int kExportAnimation = 1;
    struct ExportChoice {
        QString name;
        int type = kExportProgram;
    };
    std::function<std::optional<ExportChoice>()> SaveDialog1;

    // Event handlers.
    void TabbedNotebook1Change(int newPage);
    void TrackBar1Change();
    void TrackBar2Change();
    void TrackBar3Change();
    void TrackBar4Change();
    void TrackBar5Change();
    void TrackBar6Change();
    void TrackBar7Change();
    void RadioButton1Click();
    void RadioButton2Click();
    void RadioButton3Click();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton11Click();
    void SpeedButton12Click();
    void SpeedButton13Click();
    void SpeedButton14Click();
    void SpeedButton15Click();
    void Button1Click();
    void Panel2Click();
    void SpeedButton8Click();
    void SpeedButton9Click();
    // The step recorder: start, stop, play, the playback tick and the export.
    void SpeedButton5Click();
    void SpeedButton6Click();
    void SpeedButton7Click();
    void Timer1Timer();
    void SpeedButton4Click();

private:
    QWidget* buildDistortPage();
    QWidget* buildTwistPage();
    QWidget* buildSketchPage();
    QWidget* buildSignPage();
    QWidget* buildRecorderPanel();
    void connectHandlers();

    // The radius bars' common rule: the strength bar's range and position follow
    // the radius, and the brush and progress bar follow it too.
    void applyRadius(int radius, QLabel* valueLabel, TrackBar* strength, long double maxDivisor,
                     long double minDivisor, long double positionDivisor);
    void setProgressMaximumForRadius(int radius);
    // A Sketch OK: `render` of the picture window with the page's slider value, then a step.
    void renderSketch(void (TWork_area::*render)(int), int value);
    void setStrengthBarShown(bool shown);
    // The recorder's status text, shown at once.
    void setRecorderStatus(const QString& text);
    // The four recorder buttons for recording (true) or not.
    void setRecorderButtons(bool recording);
    // The "please do more" box of a record without steps.
    void refuseEmptyRecord();
    std::optional<ExportChoice> showExportDialog();

    ColourPanel* colourPanel_ = nullptr;  // Panel2 as what it is
    int shownPage_ = kDistortPage;        // the page before a change
};
