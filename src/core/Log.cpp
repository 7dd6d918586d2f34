#include "core/Log.h"

#include "ui/DebugA.h"

namespace Module1
{

void Log(const QString& text)
{
    DebugA::instance().log().log(text);
}

void LogBytes(const QByteArray& bytes)
{
    DebugA::instance().log().logBytes(bytes);
}

} // namespace Module1
