#include "core/DebugLog.h"

void DebugLog::log(const QString& text)
{
    logBytes(text.toUtf8());
}

void DebugLog::logBytes(const QByteArray& bytes)
{
    m_text += "\r\n";
    m_text += bytes;
    emit appended();
}

void DebugLog::clear()
{
    m_text.clear();
    emit appended();
}
