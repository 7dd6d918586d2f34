#pragma once
// Where the automatic check sends what it has to tell: the desktop's
// notification service, or the tray icon's message where there is none.
// Tests put a recorder in its place.

#include <QObject>
#include <QString>

class NewMailNotifier : public QObject
{
    Q_OBJECT
public:
    struct Notice {
        QString summary;
        QString body;
        QString category;          // "email.arrived" for new mail
        bool opensMailbox = false; // its default action raises the mailbox window
    };

    using QObject::QObject;
    virtual void notify(const Notice& notice) = 0;

signals:
    // The user picked the notice's default action.
    void activated();
};
