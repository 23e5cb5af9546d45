// A flat panel filled with one colour that reports a left click, used for the
// sign colour on the palette.
#pragma once

#include <QColor>
#include <QFrame>

class ColourPanel : public QFrame {
    Q_OBJECT
public:
    ColourPanel(const QColor& colour, QWidget* parent = nullptr);

    QColor colour() const;
    void setColour(const QColor& colour);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};
