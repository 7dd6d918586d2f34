#include "mime/OfflineTextDocument.h"

QVariant OfflineTextDocument::loadResource(int, const QUrl&)
{
    ++m_refused;
    return QVariant();
}
