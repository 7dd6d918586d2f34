#include "ui/ViewerBody.h"

namespace ViewerBody
{

QString withoutAttachment(const QString& body)
{
    const qsizetype at = body.indexOf(QLatin1String("begin 664"), 0, Qt::CaseSensitive);
    return at < 0 ? body : body.left(at);
}

} // namespace ViewerBody
