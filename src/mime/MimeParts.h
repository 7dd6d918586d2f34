#pragma once
// What a parsed MIME message says: the text its sender wrote (with the text
// of any forwarded message after it) and the files attached to it.

#include "mime/Attachment.h"
#include "mime/GMimeRef.h"

#include <QList>
#include <QString>

namespace Mime
{

struct MessageParts {
    QString body;
    QList<Attachment> attachments;
    bool found = false; // some part gave text, a file or a forwarded message
};

// Messages forwarded inside forwarded messages are shown this deep at most.
inline constexpr int MaxForwardDepth = 32;

MessageParts readParts(GMimeMessage* message);

// "Name <address>" for each address, joined by ", "; empty for none.
QString addressText(InternetAddressList* list);

} // namespace Mime
