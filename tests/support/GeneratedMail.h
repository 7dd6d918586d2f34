#pragma once
// Messages built by Python's email package (tests/mime/make_messages.py)
// together with what Python reads out of them: an independent judge of what
// the mailbox list and the viewer should show.

#include "mime/MessageDisplay.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

namespace GeneratedMail
{

struct Message {
    QString kind;
    QByteArray bytes; // CR LF line ends
    QJsonObject expected;
};

// Runs the script; an empty list (after a warning) when it fails.
QList<Message> make();

// The demo's four messages (packaging/demo/mail) as scripts/demo puts them
// in the mailbox, the third with the program's picture uuencoded by GNU
// uuencode in mode 644 (`picture` gets its bytes); empty when that fails.
QList<QByteArray> demoMessages(QByteArray* picture);

// The RETR reply a server sends for the message.
QByteArray replyFor(const QByteArray& message);

// Empty when the list row and the viewer's values agree with Python's,
// otherwise what differs.
QString mismatch(const Message& message, const QString& row, const QString& subject,
                 const QString& from, const QString& body,
                 const QList<Mime::Attachment>& attachments);

} // namespace GeneratedMail
