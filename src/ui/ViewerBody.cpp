#include "ui/ViewerBody.h"

#include "mime/UuBlocks.h"

namespace ViewerBody
{

QString withoutAttachment(const QString& body)
{
    const qsizetype at = Mime::firstUuBlock(body);
    return at < 0 ? body : body.left(at);
}

} // namespace ViewerBody
