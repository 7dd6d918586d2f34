#pragma once
// The message tables. Each retrieved message is held once, as the RETR reply
// that arrived (the same bytes the protocol log shares); MessageSubjects,
// MessageRecipients and MessageBodies give, for index i, the values that
// ExtractHeaders gives for that message. Subject and recipient are small and
// kept when the message is stored; a body is decoded from the bytes each
// time it is read, so the tables never hold a message a second time as text.

#include "core/Module1.h"
#include "mime/MessageDisplay.h"

#include <QByteArray>
#include <QString>

namespace Module1
{

// One column of the tables, read like an array of 51 strings.
class MessageColumn
{
public:
    enum Which { Subjects, Recipients, Bodies };
    constexpr explicit MessageColumn(Which which) : m_which(which) {}
    // The value at index 0..50; an index outside the tables gives "".
    QString operator[](int index) const;
    static constexpr int size() { return MessageTableSize; }

private:
    Which m_which;
};

// Message n of a session is stored at index n-1 and its subject is appended
// to Email's lstMessages, so list row i and index i name the same message.
inline constexpr MessageColumn MessageSubjects{MessageColumn::Subjects};
inline constexpr MessageColumn MessageRecipients{MessageColumn::Recipients}; // "to:" value, trimmed
inline constexpr MessageColumn MessageBodies{MessageColumn::Bodies};

// Stores the RETR reply (status line through terminator) at index 0..50 and
// returns the text of the message's list row. Nothing happens outside the
// tables (an empty text comes back). `doubledDots` false says that no line
// of the reply begins with "..", which the session knows from its search.
QString storeRetrievedMessage(int index, QByteArray reply, bool doubledDots = true);

// The RETR reply kept at index 0..50, as it arrived.
const QByteArray& storedReply(int index);

// One message as the tables hold it, kept by a window that goes on showing
// it after the tables have taken another message at its index. It shares
// the tables' bytes.
struct HeldMessage {
    QByteArray reply;        // status line through terminator, as it arrived
    bool utf8 = true;        // how its text reads: UTF-8, or else Latin-1
    bool doubledDots = true; // a line may begin with "..": read through unstuffed()
};
HeldMessage heldMessage(int index);

// What a viewer shows of a message, and the decoded bytes of one of its
// files (an index into the viewer's list).
Mime::DisplayedMessage displayedMessage(const HeldMessage& message);
QByteArray fileContent(const HeldMessage& message, qsizetype file);
// The same for the message at index 0..50.
Mime::DisplayedMessage displayedMessage(int index);
// Subject and From of the message at index 0..50, read from its header block.
Mime::ShownHeaders shownHeaders(int index);

// Empties the tables (tests).
void ClearMessages();

} // namespace Module1
