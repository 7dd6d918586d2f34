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

#include <QString>

#include <array>

namespace Module1
{

enum HeaderSlot { HeaderSubject = 0, HeaderSender = 1, HeaderRecipient = 2, HeaderBody = 3 };
using ExtractedHeaders = std::array<QString, 4>;

ExtractedHeaders ExtractHeaders(const QString& Message);
// The same for a text the caller no longer needs: the body keeps its buffer.
ExtractedHeaders ExtractHeaders(QString&& Message);

} // namespace Module1
