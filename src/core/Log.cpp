#include "core/Log.h"

#include "core/DebugLog.h"

namespace Module1
{

DebugLog& ProtocolLog()
{
    // Lives until the program ends; the exit appends it to "Debug.txt".
    static DebugLog* const log = new DebugLog;
    return *log;
}

void Log(const QString& text)
{
    ProtocolLog().log(text);
}

void LogBytes(const QByteArray& bytes)
{
    ProtocolLog().logBytes(bytes);
}

void LogRange(ByteRange bytes)
{
    ProtocolLog().logRange(std::move(bytes));
}

} // namespace Module1
