#pragma once
// What a parsed MIME message says: every text its sender wrote, in order
// (forwarded messages where they stand, under their own From and Subject
// lines), and the files attached to it, each named where it stood between
// two texts. Of a multipart/alternative one branch is shown; the files of
// the others are listed all the same.

#include "mime/Attachment.h"
#include "mime/GMimeRef.h"

#include <QList>
#include <QString>

namespace Mime
{

struct MessageParts {
    QString body;
    QList<Attachment> attachments;
    bool found = false; // some part gave text or a file, or a multipart held parts
};

// Parts nested deeper than this (multiparts and forwarded messages counted
// alike) are not shown.
inline constexpr int MaxNesting = 32;

// With `content`, the decoded bytes of attachment `wanted` go there.
MessageParts readParts(GMimeMessage* message, qsizetype wanted = -1, QByteArray* content = nullptr);

inline constexpr char DeepNotice[] = "[Parts nested more deeply are not shown]";

} // namespace Mime
