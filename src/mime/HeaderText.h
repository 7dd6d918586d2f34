#pragma once
// Subject and From of a parsed message as one line of decoded text: encoded
// words in charsets under the names mail programs really write, no line
// breaks, and a From without a usable address shown by its name rather than
// by anything found elsewhere in the message.

#include "mime/GMimeRef.h"

#include <QString>

namespace Mime
{

QString subjectText(GMimeMessage* message);
QString fromText(GMimeMessage* message);

// "Name <address>" for each address, joined by ", "; empty for none.
QString addressText(InternetAddressList* list);

} // namespace Mime
