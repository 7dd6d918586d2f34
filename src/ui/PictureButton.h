#pragma once
// A picture box used as a button: the 11 x 11 close cross of the popups.

#include <QLabel>

class PictureButton : public QLabel
{
    Q_OBJECT
public:
    explicit PictureButton(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_pressed = false;
};
