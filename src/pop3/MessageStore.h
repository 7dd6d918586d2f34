#pragma once
// Where a retrieved message goes: the message tables get the values that
// ExtractHeaders gives, and the reply itself is kept beside them at the same
// index, to be decoded for display when a viewer opens.

#include "mime/MessageDisplay.h"

#include <QByteArray>
#include <QString>

namespace Module1
{

// Stores the RETR reply (status line through terminator) at index 0..50 and
// returns the text of the message's list row. Nothing happens outside the
// tables (an empty text comes back).
QString storeRetrievedMessage(int index, QByteArray reply);

// The message of a reply as the server holds it: status line and terminator
// dropped, doubled leading dots undone.
QByteArray messageOfReply(const QByteArray& reply);

// What a viewer shows of the message at index 0..50.
Mime::DisplayedMessage displayedMessage(int index);

} // namespace Module1
