#pragma once
// The tags of one session's commands: A0001, A0002 ... (A10000 after
// A9999), each used once, so that a tagged response names its command.

#include <QByteArray>

class ImapTags
{
public:
    QByteArray next()
    {
        ++m_count;
        return 'A' + QByteArray::number(m_count).rightJustified(4, '0');
    }

private:
    quint64 m_count = 0;
};
