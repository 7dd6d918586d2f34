#pragma once
// The protocol log of a run: every POP3 reply and command, kept as the bytes
// that will be appended to "Debug.txt". Received data is kept exactly as it
// arrived; other entries are UTF-8.

#include <QByteArray>
#include <QObject>
#include <QString>

class DebugLog : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // "log X": CR LF, then X.
    void log(const QString& text);
    void logBytes(const QByteArray& bytes);

    const QByteArray& text() const { return m_text; }
    void clear();

signals:
    void appended();

private:
    QByteArray m_text;
};
