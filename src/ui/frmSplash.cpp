#include "ui/frmSplash.h"

#include "ui/Options.h"
#include "ui/PopupColours.h"
#include "ui/Twips.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScreen>

frmSplash::frmSplash()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint),
      m_picture(QStringLiteral(":/images/splash.png"))
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QString());
    Twips::resizeClient(this, 7500, 5985);
    setFocusPolicy(Qt::StrongFocus);
    PopupColours::apply(this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(5000);
    Timer1->setTimerType(Qt::PreciseTimer); // a coarse timer may tick 5% early
    connect(Timer1, &QTimer::timeout, this, &frmSplash::Timer1_Timer);
    Timer1->start();
}

void frmSplash::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = rect();
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }
    activateWindow();
    setFocus();
}

void frmSplash::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}

void frmSplash::mouseReleaseEvent(QMouseEvent*)
{
    Form_Click();
}

void frmSplash::keyPressEvent(QKeyEvent* event)
{
    // Only a key that produces a character code counts (Enter, Escape and
    // Backspace do); Shift or an arrow alone leave the window up.
    if (event->text().isEmpty()) {
        QWidget::keyPressEvent(event);
        return;
    }
    Form_KeyPress();
}

void frmSplash::Form_Click()
{
    unloadAndShowOptions();
}

void frmSplash::Form_KeyPress()
{
    unloadAndShowOptions();
}

void frmSplash::Timer1_Timer()
{
    unloadAndShowOptions();
    Timer1->stop();
}

void frmSplash::unloadAndShowOptions()
{
    // Whichever comes first wins; the window is gone after it.
    if (m_unloaded)
        return;
    m_unloaded = true;
    Timer1->stop();
    hide();
    DefaultInstance<frmSplash>::release();
    // The tray menu may be open over the splash; showing Options now would
    // close it under the user's pointer, so Options comes when it closes.
    Options& options = Options::instance();
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        connect(
            menu, &QMenu::aboutToHide, &options,
            [&options] { QTimer::singleShot(0, &options, [&options] { options.show(); }); },
            Qt::SingleShotConnection);
        return;
    }
    options.show();
}
