#pragma once
// The protocol log of a run: every POP3 reply and command, kept as the bytes
// that will be appended to "Debug.txt". Received data is kept exactly as it
// arrived; other entries are UTF-8.
//
// Each entry is kept as the bytes it was given, shared and not copied: a
// retrieval of many megabytes costs the log no copy of them. The text as
// one piece is put together only when somebody reads it.

#include <QByteArray>
#include <QList>
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

    // The whole log.
    const QByteArray& text() const;
    qsizetype size() const { return m_size; }
    // The log from byte `offset` on.
    QByteArray textFrom(qsizetype offset) const;
    void clear();

signals:
    void appended();

private:
    QList<QByteArray> m_pieces;
    qsizetype m_size = 0;
    mutable QByteArray m_joined; // text(), while no entry came after it
    mutable bool m_joinedValid = true;
};
