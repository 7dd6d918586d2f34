#pragma once
// A picture box used as a button: the 11 x 11 close cross of the popups.
// When the picture is not available it paints the cross itself, so the
// button is never blank.

#include <QLabel>

class PictureButton : public QLabel
{
    Q_OBJECT
public:
    explicit PictureButton(QWidget* parent = nullptr);

    // The cross as drawn when ":/images/cross.png" is missing.
    static QPixmap drawnCross();

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_pressed = false;
};
