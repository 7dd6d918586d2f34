#pragma once
// The desktop's notification area as the tray icon control sees it: add,
// modify and delete one icon described by a NotifyIconData record, pointer
// activity over the icon reported as mouse message codes (0x200 to 0x206 for
// moves, presses, releases and double-clicks), and a way to bring the
// control's window to the foreground.

#include "tray/NotifyIconData.h"

#include <QObject>

class QWidget;

class NotificationArea : public QObject
{
    Q_OBJECT
public:
    enum Operation : quint32 { NIM_ADD = 0, NIM_MODIFY = 1, NIM_DELETE = 2 };

    using QObject::QObject;

    // Carries out one operation for the icon the record names (its call-back
    // window and id). Returns whether the area accepted it.
    virtual bool Shell_NotifyIcon(Operation operation, const NotifyIconData& record) = 0;

    virtual void SetForegroundWindow(QWidget* window) = 0;

    // Whether the desktop has a notification area right now.
    virtual bool isAvailable() const = 0;
    // A balloon message from the icon; false where the area shows none.
    virtual bool showMessage(const QString& title, const QString& text)
    {
        Q_UNUSED(title);
        Q_UNUSED(text);
        return false;
    }

signals:
    // Something happened over the icon: code is the mouse message (0x202 a
    // left-button release, ...), message the record's uCallbackMessage.
    void callback(const QWidget* window, quint32 uID, quint32 message, quint32 code);
};
