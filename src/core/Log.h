#pragma once
// Appending to the protocol log held by the DebugA window, which is created
// hidden on first use and collects text whether or not it is ever shown.

#include "core/SharedBytes.h"

#include <QByteArray>
#include <QString>

class DebugLog;

namespace Module1
{
// The run's protocol log; the DebugA window shows it.
DebugLog& ProtocolLog();

void Log(const QString& text);
void LogBytes(const QByteArray& bytes); // received data, exactly as it arrived
// Received data that stays where it is, in a buffer the log shares.
void LogRange(ByteRange bytes);
} // namespace Module1
