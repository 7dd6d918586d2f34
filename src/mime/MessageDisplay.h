#pragma once
// What the mailbox list and the viewer show of one retrieved message, from
// its bytes (the message as the server holds it, without the POP3 status
// line, terminator or doubled dots) and the values the message tables keep.
//
// A message whose header block holds a MIME-Version header is read with
// GMime: the decoded Subject, the decoded From, the text the sender wrote and
// the attached files. Any other message shows the tables' values, with
// encoded words decoded in subject and address line and bytes that are not
// UTF-8 read as Windows-1252. Input GMime cannot make sense of falls back to
// the latter.

#include "mime/Attachment.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

namespace Mime
{

// The message tables' values of the message.
struct StoredValues {
    QString subject;
    QString recipient;
    QString body;
};

struct DisplayedMessage {
    QString subject;
    QString from;
    QString body; // whole: the viewer still cuts it at "begin 664"
    QList<Attachment> attachments;
};

bool isMimeMessage(QByteArrayView message);

// The list row: only the header block is read.
QString listSubject(QByteArrayView message, const QString& storedSubject);

DisplayedMessage displayMessage(QByteArrayView message, const StoredValues& stored);

} // namespace Mime
