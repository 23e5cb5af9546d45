// The controls of the tool palette, laid out page by page with the captions,
// ranges and defaults the palette starts with.
#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "tools/colour_panel.h"
#include "tools/tool_glyphs.h"
#include "tools/tool_palette.h"

namespace {

QToolButton* makeToolButton(QWidget* parent, ToolGlyph glyph, QButtonGroup* group,
                            const QString& hint = QString()) {
    auto* button = new QToolButton(parent);
    button->setIcon(toolGlyph(glyph));
    button->setIconSize(QSize(kToolGlyphWidth, kToolGlyphHeight));
    button->setCheckable(true);
    button->setToolTip(hint);
    group->addButton(button);
    return button;
}

// A caption with its value label on the right and the track bar below them.
void addBarRow(QVBoxLayout* layout, QLabel* caption, TrackBar* bar, QLabel* value) {
    auto* row = new QHBoxLayout;
    row->addWidget(caption);
    row->addStretch();
    row->addWidget(value);
    layout->addLayout(row);
    layout->addWidget(bar);
}

QToolButton* makeOkButton(QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText("OK");
    button->setMinimumWidth(60);
    return button;
}

}  // namespace

QWidget* TTools::buildDistortPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    RadioButton1 = new QRadioButton("Spherical", page);
    RadioButton2 = new QRadioButton("Vertical", page);
    RadioButton3 = new QRadioButton("Horizontal", page);
    RadioButton1->setChecked(true);
    layout->addWidget(RadioButton1);
    layout->addWidget(RadioButton2);
    layout->addWidget(RadioButton3);

    Panel1 = new QWidget(page);
    auto* kinds = new QButtonGroup(Panel1);
    SpeedButton1 = makeToolButton(Panel1, ToolGlyph::Expand, kinds);
    SpeedButton2 = makeToolButton(Panel1, ToolGlyph::Shrink, kinds);
    SpeedButton1->setChecked(true);
    auto* kindRow = new QHBoxLayout(Panel1);
    kindRow->setContentsMargins(0, 0, 0, 0);
    kindRow->addWidget(SpeedButton1);
    kindRow->addWidget(SpeedButton2);
    kindRow->addStretch();
    layout->addWidget(Panel1);

    Label3 = new QLabel("Rad.", page);
    TrackBar1 = new TrackBar(10, 500, 100, page);
    Label2 = new QLabel("100", page);
    addBarRow(layout, Label3, TrackBar1, Label2);
    Label4 = new QLabel("Cur.", page);
    TrackBar2 = new TrackBar(3, 60, 30, page);
    Label5 = new QLabel("30", page);
    addBarRow(layout, Label4, TrackBar2, Label5);
    layout->addStretch();
    return page;
}

QWidget* TTools::buildTwistPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    auto* kinds = new QButtonGroup(page);
    SpeedButton11 = makeToolButton(page, ToolGlyph::TwirlClockwise, kinds);
    SpeedButton12 = makeToolButton(page, ToolGlyph::TwirlAnticlockwise, kinds);
    SpeedButton3 = makeToolButton(page, ToolGlyph::Smudge, kinds);
    SpeedButton11->setChecked(true);
    auto* kindRow = new QHBoxLayout;
    kindRow->addWidget(SpeedButton11);
    kindRow->addWidget(SpeedButton12);
    kindRow->addWidget(SpeedButton3);
    kindRow->addStretch();
    layout->addLayout(kindRow);

    Label13 = new QLabel("Rad.", page);
    TrackBar3 = new TrackBar(10, 500, 100, page);
    Label6 = new QLabel("100", page);
    addBarRow(layout, Label13, TrackBar3, Label6);
    Label14 = new QLabel("Cur.", page);
    TrackBar4 = new TrackBar(2, 30, 10, page);
    Label7 = new QLabel("10", page);
    addBarRow(layout, Label14, TrackBar4, Label7);

    Button1 = new QPushButton("Wave", page);
    layout->addWidget(Button1);
    layout->addStretch();
    return page;
}

QWidget* TTools::buildSketchPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    Label8 = new QLabel("Pen  pressure:", page);
    TrackBar5 = new TrackBar(1, 255, 150, page);
    Label9 = new QLabel("150", page);
    addBarRow(layout, Label8, TrackBar5, Label9);
    SpeedButton8 = makeOkButton(page);
    layout->addWidget(SpeedButton8, 0, Qt::AlignRight);

    Label1 = new QLabel("Pencil  contrast:", page);
    TrackBar7 = new TrackBar(0, 89, 45, page);
    // The form starts with "50", not the 51 that position 45 computes to.
    Label11 = new QLabel("50", page);
    addBarRow(layout, Label1, TrackBar7, Label11);
    SpeedButton9 = makeOkButton(page);
    layout->addWidget(SpeedButton9, 0, Qt::AlignRight);
    layout->addStretch();
    return page;
}

QWidget* TTools::buildSignPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    auto* tools = new QButtonGroup(page);
    SpeedButton14 = makeToolButton(page, ToolGlyph::Beeline, tools, "Beeline");
    SpeedButton15 = makeToolButton(page, ToolGlyph::Pen, tools, "Pen");
    SpeedButton13 = makeToolButton(page, ToolGlyph::Text, tools, "Text");
    SpeedButton14->setChecked(true);
    colourPanel_ = new ColourPanel(Qt::red, page);
    colourPanel_->setToolTip("Select a color");
    colourPanel_->setFixedSize(32, 26);
    Panel2 = colourPanel_;
    auto* toolRow = new QHBoxLayout;
    toolRow->addWidget(SpeedButton14);
    toolRow->addWidget(SpeedButton15);
    toolRow->addWidget(SpeedButton13);
    toolRow->addStretch();
    toolRow->addWidget(Panel2);
    layout->addLayout(toolRow);

    Label15 = new QLabel("Pen thick:", page);
    TrackBar6 = new TrackBar(1, 100, 3, page);
    Label10 = new QLabel("3", page);
    addBarRow(layout, Label15, TrackBar6, Label10);
    layout->addStretch();
    return page;
}

QWidget* TTools::buildRecorderPanel() {
    Panel3 = new QWidget(this);
    auto* layout = new QGridLayout(Panel3);
    const auto recorderButton = [this](ToolGlyph glyph, const QString& hint, bool enabled) {
        auto* button = new QToolButton(Panel3);
        button->setIcon(toolGlyph(glyph));
        button->setIconSize(QSize(kToolGlyphWidth, kToolGlyphHeight));
        button->setToolTip(hint);
        button->setEnabled(enabled);
        return button;
    };
    SpeedButton5 = recorderButton(ToolGlyph::StartRecord, "Start record", true);
    SpeedButton6 = recorderButton(ToolGlyph::StopRecord, "Stop record", false);
    SpeedButton7 = recorderButton(ToolGlyph::PlayRecord, "Play the record", false);
    SpeedButton4 =
        recorderButton(ToolGlyph::ExportRecord, "Export the record as executable file", false);
    layout->addWidget(SpeedButton5, 0, 0);
    layout->addWidget(SpeedButton6, 0, 1);
    layout->addWidget(SpeedButton7, 0, 2);
    layout->addWidget(SpeedButton4, 0, 3);

    Label12 = new QLabel("Stop.", Panel3);
    QPalette grey = Label12->palette();
    grey.setColor(QPalette::WindowText, Qt::gray);
    Label12->setPalette(grey);
    layout->addWidget(Label12, 1, 0, 1, 4);
    return Panel3;
}
