#pragma once
// What the mailbox list, the viewer and the new-mail notice show of one
// retrieved message, from its bytes (the message as the server holds it,
// without the POP3 status line, terminator or doubled dots).
//
// Subject and From come from the header block, read as header fields by
// GMime, for every message. A message whose header block holds a
// MIME-Version header is read whole with GMime: the text the sender wrote
// and the attached files. Any other message shows the body the message
// tables keep, with bytes that are not UTF-8 read as Windows-1252; where the
// header block runs into the text without an empty line, the text after its
// last header line. Uuencoded blocks are listed either way.

#include "mime/Attachment.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace Mime
{

struct ShownHeaders {
    QString subject;
    QString from;
};

struct DisplayedMessage {
    QString subject;
    QString from;
    QString body; // whole: the viewer still cuts it at the first uuencoded block
    QList<Attachment> attachments;
};

bool isMimeMessage(QByteArrayView message);

// Only the header block is read: the list row, the notice.
ShownHeaders shownHeaders(QByteArrayView message);

// `storedBody` is the body the message tables keep.
DisplayedMessage displayMessage(QByteArrayView message, const QString& storedBody);

// The decoded bytes of attachment `file` of displayMessage's list.
QByteArray fileContent(QByteArrayView message, const QString& storedBody, qsizetype file);

} // namespace Mime
