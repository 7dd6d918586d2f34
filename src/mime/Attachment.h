#pragma once
// One attachment as the viewer lists it.

#include <QString>

namespace Mime
{

struct Attachment {
    QString name;
    qint64 size = 0; // decoded bytes
};

} // namespace Mime
