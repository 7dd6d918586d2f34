#pragma once
// Appending to the protocol log held by the DebugA window, which is created
// hidden on first use and collects text whether or not it is ever shown.

#include <QByteArray>
#include <QString>

namespace Module1
{
void Log(const QString& text);
void LogBytes(const QByteArray& bytes); // received data, exactly as it arrived
} // namespace Module1
