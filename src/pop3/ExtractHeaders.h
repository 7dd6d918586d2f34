#pragma once
// Picks subject, sender, recipient and body out of one retrieved message
// (status line and terminator already removed, lines ended by CR LF).
//
// This is a keyword scan, not a header parser: every line of the whole text,
// body included, is searched for "subject:", "sender:" and "to:" anywhere in
// the line, ignoring case, and the last match in the text wins. The subject is
// the rest of its line after the keyword; the sender is its line from the 8th
// character and the recipient its line from the 4th, wherever the keyword
// stood (so "Reply-To: x" gives the recipient "ly-To: x"). Angle brackets in
// sender and recipient become spaces. The body is everything after the first
// empty line, or the text without its first three characters when there is no
// empty line.

#include <QByteArrayView>
#include <QString>

#include <array>

namespace Module1
{

enum HeaderSlot { HeaderSubject = 0, HeaderSender = 1, HeaderRecipient = 2, HeaderBody = 3 };
using ExtractedHeaders = std::array<QString, 4>;

ExtractedHeaders ExtractHeaders(const QString& Message);
// The same for a text the caller no longer needs: the body keeps its buffer.
ExtractedHeaders ExtractHeaders(QString&& Message);

// The same values out of a message still in bytes, which read as UTF-8 (or,
// with utf8 false, as Latin-1) give the text above. Only the values are
// decoded, never the whole message: subject, sender and recipient here (the
// body slot stays empty), the body on its own.
ExtractedHeaders ExtractHeaderValues(QByteArrayView Message, bool utf8);
QString ExtractBody(QByteArrayView Message, bool utf8);
QString decodeMessageBytes(QByteArrayView bytes, bool utf8);

} // namespace Module1
