// TForm1: the main window, a multiple-document frame holding the picture window,
// with the menu, the tool bar and its zoom label, the shortcuts and the history.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

#include "app/edit_history.h"
#include "app/program_folders.h"

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QStatusBar;
class QToolBar;
class QToolButton;
class QPrinter;
class PictureControl;
class EndedFolders;
class RecoveryCopyWriter;

// RestartHistory could not have memory for the new history's first slot; the old history
// is kept as it was.
class HistoryMemoryError : public std::runtime_error {
public:
    HistoryMemoryError()
        : std::runtime_error(
              "There is not enough memory to start a new history for this picture. The earlier "
              "steps are kept.") {}
};

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    QMdiArea* MdiArea = nullptr;

    // Menu.
    QMenu* File1 = nullptr;
    QAction* Open1 = nullptr;
    QAction* Save1 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* View1 = nullptr;
    QAction* ImageSize1 = nullptr;
    QAction* Undo1 = nullptr;
    QAction* Redo1 = nullptr;
    QAction* Renew = nullptr;
    QMenu* ViewMenu = nullptr;  // zoom commands beside the tool bar's steps
    QAction* FitInWindow = nullptr;
    QAction* ActualPixels = nullptr;
    QMenu* Help1 = nullptr;
    QAction* Online1 = nullptr;
    QAction* About1 = nullptr;

    // Tool bar.
    QToolBar* ToolBar1 = nullptr;
    QWidget* Panel3 = nullptr;
    QToolButton* SpeedButton3 = nullptr;   // Open
    QToolButton* SpeedButton4 = nullptr;   // Save
    QToolButton* SpeedButton5 = nullptr;   // Undo
    QToolButton* SpeedButton10 = nullptr;  // Redo
    QToolButton* SpeedButton6 = nullptr;   // Renew
    QToolButton* SpeedButton8 = nullptr;   // Zoom out
    QToolButton* SpeedButton9 = nullptr;   // Zoom in
    QLabel* Label1 = nullptr;              // zoom text, "100%"
    QToolButton* SpeedButton2 = nullptr;   // Select a zone to cut
    QToolButton* SpeedButton11 = nullptr;  // Cut out the selection
    QToolButton* SpeedButton16 = nullptr;  // Print
    QToolButton* SpeedButton1 = nullptr;   // Mail
    QToolButton* SpeedButton7 = nullptr;   // Online
    QStatusBar* StatusBar1 = nullptr;

    // Shortcuts, not linked to the buttons or menu items.
    QAction* Action1 = nullptr;
    QAction* Action2 = nullptr;
    QAction* Action3 = nullptr;
    QAction* Action4 = nullptr;
    QAction* Action5 = nullptr;
    QAction* Action6 = nullptr;
    QAction* Action7 = nullptr;
    QAction* Action8 = nullptr;
    QAction* Action9 = nullptr;
    QAction* Action10 = nullptr;
    QAction* Action11 = nullptr;
    QAction* Action12 = nullptr;
    QAction* Action13 = nullptr;
    QAction* Action14 = nullptr;
    QAction* Action15 = nullptr;

    // The picture as opened, for Renew.
    QImage RenewPicture;
    // The ring of history slots.
    EditHistory HistorySlots;

    // Commands.
    void Open1Click();
    void Save1Click();
    void Exit1Click();
    void Undo1Click();
    void Redo1Click();
    void RenewClick();
    void ImageSize1Click();
    void Online1Click();
    void About1Click();
    // View > Fit in window (Ctrl+0): zoom steps out until the picture fits in the picture
    // window, or in while the next step still fits. View > Actual pixels (Ctrl+1): 100 %.
    void FitInWindowClick();
    void ActualPixelsClick();
    void SpeedButton8Click();
    void SpeedButton9Click();
    void SpeedButton2Click();
    void SpeedButton11Click();
    void SpeedButton16Click();
    void SpeedButton1Click();
    void Action6Execute();
    void Action9Execute();

    // The selected zone of the current picture, within it; empty when it holds no pixel.
    std::optional<QImage> selectedZone() const;
    // Resamples the whole picture of `image` by the two ratios of its width and height.
    void ZoomInOut(PictureControl* image, double horizontal, double vertical);

    // The export of a record (see record_export.cpp).
    void Recorderto();
    bool ExtractRes(const QString& type, const QString& name, const QString& fileName);
    bool Cjt_AddtoFile(const QString& source, const QString& target);

    // Opening and saving.
    bool ChoosePicture();
    QImage LoadPicture(const QString& fileName);
    void SaveAsMetafile(const QImage& picture, const QString& fileName);

    // A save dialog's answer: the typed name and the chosen entry, 0 to 4.
    struct SaveChoice {
        QString name;
        int filterIndex = 0;
    };
    // The two dialogs, replaceable so tests can answer them.
    std::function<std::optional<QString>()> runOpenDialog;
    std::function<std::optional<SaveChoice>()> runSaveDialog;
    // PrintDialog1: lets the user choose and set up the printer; false when cancelled.
    // Replaceable so tests can print into a PDF file.
    std::function<bool(QPrinter& printer)> PrintDialog1;

    // Opens `fileName` as File > Open does; false when it could not be read (the picture
    // and its history stay). Reader failures throw with the reader's message.
    bool openPictureFile(const QString& fileName);

    // History.
    void backup();
    void savefilelist(int frame);
    void RestartHistory(bool alwaysWriteFrame);
    // View zoom by one step.
    void imgzoomin(PictureControl* image, QLabel* label);
    void imgzoomout(PictureControl* image, QLabel* label);
    // Zoom steps that make the picture fit in the picture window (see FitInWindowClick);
    // without `grow`, a picture that fits keeps the zoom.
    void fitZoomToWindow(bool grow);

    void setUndoEnabled(bool enabled);
    void setRedoEnabled(bool enabled);

    // Work left by a Mugwarp that ended unexpectedly (see work_recovery.cpp): offers the newest
    // recovery copy among `left` and opens it on Yes; the folders go whatever the answer. True
    // when the copy opened. Without an argument, the folders found at start.
    bool offerLeftWork();
    bool offerLeftWork(EndedFolders& left);
    // The writer of this program's recovery copy; null before the first show and after close.
    RecoveryCopyWriter* recoveryCopy() const { return recoveryCopy_.get(); }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // A picture file dropped on the window opens as File > Open opens it.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void buildMenu();
    void buildToolBar();
    void buildShortcuts();

    // The history's counters (CurrentFrame, UndoCount, RedoCount) change only here.
    void historyRestarted();
    void stepRecorded(const EditHistory::StepOutcome& outcome);
    bool stepBack();
    bool stepForward();
    void followHistoryButtons();
    // Hands the picture now shown to the recovery copy's writer.
    void keepRecoveryCopy();
    void startRecoveryCopies();

    std::optional<QString> showOpenDialog();
    bool showPrintDialog(QPrinter& printer);
    // What an open replaces, put back when the new picture gets no history.
    struct OpenedPicture {
        QImage picture;
        QString baseName;
        QImage renewPicture;
    };
    OpenedPicture currentOpenedPicture() const;
    bool takePicture(const QString& fileName);
    void finishOpen(const OpenedPicture& before);
    std::optional<SaveChoice> showSaveDialog();

    bool shown_ = false;
    bool closed_ = false;
    std::unique_ptr<EndedFolders> endedFolders_;
    std::unique_ptr<RecorderFolderClaim> recorderFolder_;
    // After the folder claim: its worker ends before the folder is released.
    std::unique_ptr<RecoveryCopyWriter> recoveryCopy_;
    // The save dialog keeps the last entry and name.
    int lastSaveFilter_ = 0;
    QString lastSaveName_;
};

// The web page opened by "Online".
inline constexpr const char* kProductPage = "https://mugwarp.example.org/";
