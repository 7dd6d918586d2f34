#pragma once
// A command to an IMAP server, built from its parts: the bytes that go out,
// in the pieces they go out in, and the form the protocol log shows, where
// a password is "****" (as POP3's log shows "PASS ****").
//
// A string goes quoted where it can ("qbtest", with \ and " escaped) and
// as a literal where it cannot (a CR, an LF or an 8-bit byte). A literal is
// non-synchronising ("{n+}") where the server offers LITERAL+ (or LITERAL-
// and it is at most 4096 bytes); otherwise it is synchronising: the command
// stops after "{n}" and goes on only once the server has answered with a
// "+" continuation. pieces() says where: each piece after the first waits
// for one "+".

#include "imap/ImapValue.h"
#include "imap/UidSet.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

class ImapCommand
{
public:
    enum class Literals { Synchronising, Plus, Minus };
    // What the server's capabilities allow.
    static Literals literalsFor(const QList<QByteArray>& capabilities);

    struct Piece {
        QByteArray wire;   // ends in CR LF
        QByteArray logged; // for the log, without that line end; empty: nothing to log
    };

    ImapCommand(const QByteArray& tag, QByteArrayView name,
                Literals literals = Literals::Synchronising);

    // As is: a mailbox name like INBOX, a fetch list, a set.
    ImapCommand& atom(QByteArrayView text);
    // An astring, quoted or a literal.
    ImapCommand& string(QByteArrayView text);
    // The same, shown in the log as ****, its literal size hidden too.
    ImapCommand& secret(QByteArrayView text);
    ImapCommand& uids(const UidSet& set);
    // Ends the line: `line` goes on a line of its own after the server's
    // "+" (a SASL response).
    ImapCommand& continuation(QByteArrayView line, bool secret);

    QByteArray tag() const { return m_tag; }
    // False where a part cannot go on the wire as it is: a NUL byte (no
    // IMAP string carries one), or a CR or LF in an atom.
    bool sendable() const { return m_sendable; }
    QList<Piece> pieces() const;
    // The whole command as the log shows it, its pieces' forms on one line.
    QByteArray logged() const;

    // `text` as a quoted string, or empty where it must be a literal.
    static QByteArray quoted(QByteArrayView text);
    // A value as IMAP writes it, lists and all: a string quoted where it can
    // be, else a literal ("{n}", CR LF, its bytes), so that the parser reads
    // back the same value.
    static QByteArray written(const ImapValue& value);
    // The PLAIN mechanism's message: base64 of NUL, user, NUL, password.
    static QByteArray saslPlain(QByteArrayView user, QByteArrayView password);

    static ImapCommand login(const QByteArray& tag, QByteArrayView user, QByteArrayView password,
                             Literals literals);
    // With `initialResponse` (the server offers SASL-IR) in one line, else
    // the response after the server's "+".
    static ImapCommand authenticatePlain(const QByteArray& tag, QByteArrayView user,
                                         QByteArrayView password, bool initialResponse);

private:
    ImapCommand& add(QByteArrayView wire, QByteArrayView logged);
    ImapCommand& addString(QByteArrayView text, bool secret);
    void endPiece();

    QByteArray m_tag;
    Literals m_literals;
    QList<Piece> m_pieces;
    bool m_sendable = true;
};
