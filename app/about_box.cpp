#include "app/about_box.h"

#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>

namespace {

// A small drawn face: the program's icon.
QPixmap aboutIcon() {
    QPixmap icon(32, 32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(250, 210, 160));
    p.setPen(Qt::black);
    p.drawEllipse(2, 4, 28, 26);
    p.setBrush(Qt::white);
    p.drawEllipse(7, 10, 8, 8);
    p.drawEllipse(17, 10, 8, 8);
    p.setBrush(Qt::black);
    p.drawEllipse(10, 13, 3, 3);
    p.drawEllipse(20, 13, 3, 3);
    p.drawArc(9, 16, 14, 9, 200 * 16, 140 * 16);
    return icon;
}

}  // namespace

TAbout_us::TAbout_us(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint) {
    setWindowTitle("About_us");
    setFixedSize(438, 346);

    Panel1 = new QWidget(this);
    Panel1->setGeometry(6, 4, 425, 337);

    Image1 = new QLabel(Panel1);
    Image1->setGeometry((425 - 32) / 2, 10, 32, 32);
    Image1->setPixmap(aboutIcon());

    Memo1 = new QPlainTextEdit(Panel1);
    Memo1->setGeometry((425 - 321) / 2, 52, 321, 193);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette memoPalette = Memo1->palette();
    memoPalette.setColor(QPalette::Base, palette().color(QPalette::Midlight));
    Memo1->setPalette(memoPalette);
    const QStringList lines = {"Name: Mugwarp",
                               "",
                               "Version: " MUGWARP_VERSION,
                               "",
                               "Release time: 08/28/2007",
                               "",
                               "Website:",
                               "https://mugwarp.example.org/",
                               "",
                               "Support:",
                               "support@mugwarp.example.org",
                               "",
                               "WebMaster;",
                               "webmaster@mugwarp.example.org",
                               "",
                               "Tech-support: ",
                               "tech@mugwarp.example.org"};
    Memo1->setPlainText(lines.join('\n'));

    Label1 = new QLabel("Mugwarp: caricatures from your photographs", Panel1);
    Label1->setGeometry(20, 260, 385, 20);
    Label1->setAlignment(Qt::AlignCenter);
    Label2 = new QLabel("https://mugwarp.example.org/", Panel1);
    Label2->setGeometry(20, 285, 385, 20);
    Label2->setAlignment(Qt::AlignCenter);
}
