#pragma once
// The splash window: a picture in the middle of the screen that gives way to
// the Options window after a click, a key that types a character, or 5 s.

#include "core/DefaultInstance.h"

#include <QPixmap>
#include <QTimer>
#include <QWidget>

class frmSplash : public QWidget
{
    Q_OBJECT
public:
    static frmSplash& instance() { return DefaultInstance<frmSplash>::get(); }
    static bool loaded() { return DefaultInstance<frmSplash>::exists(); }

    frmSplash();

    QTimer* Timer1 = nullptr;

    void Form_Click();
    void Form_KeyPress();
    void Timer1_Timer();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void unloadAndShowOptions();

    QPixmap m_picture;
    bool m_unloaded = false;
};
