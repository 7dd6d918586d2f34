#pragma once
// Reads one IMAP response, as the framer cut it, into an ImapResponse: the
// grammar a client meets (IMAP4rev2, and IMAP4rev1 where servers still
// speak it). Tags, "*" and "+"; atoms, numbers, quoted strings with their
// escapes, literals, NIL and lists nested up to ImapLimits::MaxDepth;
// response codes; and a check of the untagged data a client relies on
// (EXISTS, EXPUNGE, FETCH, FLAGS, CAPABILITY, SEARCH, ESEARCH).
//
// A pure function: a literal is not copied but referred to, a malformed
// response gives a reason in plain words, never a partial result.

#include "imap/ImapResponse.h"
#include "imap/ImapResponseBytes.h"

#include <QString>

struct ImapParseResult {
    ImapResponse response;
    QString error; // why the response is malformed; empty where it is not
    bool ok() const { return error.isEmpty(); }
};

namespace ImapParser
{

ImapParseResult parse(const ImapResponseBytes& bytes);

} // namespace ImapParser
