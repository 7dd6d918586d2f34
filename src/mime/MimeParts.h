#pragma once
// What a parsed MIME message says: every text its sender wrote, in order
// (forwarded messages where they stand, under their own From and Subject
// lines), and the files attached to it, each named where it stood between
// two texts.

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

// Parts nested deeper than this (multiparts and forwarded messages counted
// alike) are not shown.
inline constexpr int MaxNesting = 32;

MessageParts readParts(GMimeMessage* message);

} // namespace Mime
