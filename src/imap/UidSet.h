#pragma once
// A set of message UIDs as IMAP writes it: "4:7,9,12:13". Kept as sorted,
// disjoint ranges, so a set the server sends ("1:4294967295") costs its
// text, never its count.
//
// A UID is a number from 1 to 4294967295. Note for "N:*" in a command: the
// server reads "*" as the highest UID there is, so "N:*" names the newest
// message even when its UID is below N; whoever asks must drop UIDs it did
// not want.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

class UidSet
{
public:
    struct Range {
        quint32 first;
        quint32 last;
    };

    UidSet() = default;

    // The set a server wrote (ESEARCH ALL, COPYUID ...): numbers and ranges
    // from 1 to 4294967295 joined by commas, either end of a range first;
    // nothing where the text is not such a set ("*" included: a server
    // never sends it).
    static std::optional<UidSet> parse(QByteArrayView text);

    // Adds one UID; 0 is not one and is ignored.
    void add(quint32 uid);
    void add(quint32 first, quint32 last);

    bool isEmpty() const { return m_ranges.isEmpty(); }
    bool contains(quint32 uid) const;
    quint64 count() const;
    quint32 highest() const { return m_ranges.isEmpty() ? 0 : m_ranges.last().last; }
    const QList<Range>& ranges() const { return m_ranges; }

    // As a command writes it: "4:7,9"; empty for an empty set.
    QByteArray text() const;

private:
    QList<Range> m_ranges;
};
