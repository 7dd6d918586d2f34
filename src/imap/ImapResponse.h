#pragma once
// One parsed IMAP response: a tagged status ("A0001 OK [CODE args] text"),
// an untagged one ("* BYE text", "* 5 EXISTS", "* 1 FETCH (...)",
// "* CAPABILITY ..."), or a continuation request ("+ text"). Built by
// ImapParser, which has already checked what the accessors below rely on
// (a FETCH's UID is a UID, its FLAGS a list of flags, a UIDVALIDITY a
// number), so they need no error path.

#include "imap/ImapValue.h"
#include "imap/UidSet.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// "[NAME args]" after a status.
struct ImapResponseCode {
    QByteArray name;        // upper-cased: "UIDVALIDITY", "ALERT"; empty where there is none
    QByteArray text;        // what follows the name up to "]", as sent
    QList<ImapValue> args;  // the same read as values, where it reads as values
    quint32 number() const; // UIDVALIDITY, UIDNEXT, UNSEEN: the number; 0 otherwise
};

struct ImapResponse {
    enum class Kind { Tagged, Untagged, Continuation };
    enum class Status { None, Ok, No, Bad, Bye, Preauth };

    Kind kind = Kind::Untagged;
    QByteArray tag;               // Tagged
    Status status = Status::None; // OK/NO/BAD (tagged), also BYE/PREAUTH (untagged)
    QByteArray name;              // upper-cased: "OK", "EXISTS", "FETCH", "CAPABILITY" ...
    quint32 number = 0;           // "* 5 EXISTS": 5, "* 1 FETCH": 1
    ImapResponseCode code;        // of a status or a continuation
    QByteArray text;              // of a status or a continuation, to its end
    QList<ImapValue> data;        // what follows the name of untagged data

    bool isTagged(QByteArrayView t) const { return kind == Kind::Tagged && tag == t; }
    bool isContinuation() const { return kind == Kind::Continuation; }
    // Untagged data of this name ("EXISTS", "FETCH" ...), or an untagged
    // status ("BYE", "OK" ...).
    bool isUntagged(QByteArrayView n) const { return kind == Kind::Untagged && name == n; }

    // From "* CAPABILITY ..." or a [CAPABILITY ...] code, upper-cased.
    QList<QByteArray> capabilities() const;

    // FETCH: the value of an item ("UID", "RFC822.SIZE", "ENVELOPE", a
    // section as the server wrote it), its name matched ignoring case;
    // nullptr where there is none.
    const ImapValue* fetchItem(QByteArrayView item) const;
    quint32 fetchUid() const; // 0 where the FETCH carries none
    bool fetchHasFlags() const { return fetchItem("FLAGS") != nullptr; }
    QList<QByteArray> fetchFlags() const;
    // The first BODY[...] (or BINARY[...], RFC822, RFC822.HEADER, RFC822.TEXT)
    // item's value, a string or NIL: one section is asked for at a time.
    const ImapValue* fetchSection() const;

    // "* SEARCH 4 5 6": the numbers.
    QList<quint32> searchNumbers() const;
    // "* ESEARCH (TAG "A1") UID ALL 4:7": the ALL set, empty where there is none.
    UidSet esearchAll() const;
};
