#pragma once
// One value of an IMAP response: an atom, a number, a string (quoted or a
// literal), NIL, or a parenthesised list of values. A literal is not copied:
// it stays a range of the buffer it arrived in, so a message body of any
// size costs no second copy.

#include "core/SharedBytes.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

class ImapValue
{
public:
    enum class Kind {
        Atom,    // as sent: "FLAGS", "\Seen", "4:7", "BODY[HEADER.FIELDS (FROM)]"
        Number,  // digits only, at most 2^63 - 1
        Quoted,  // "...", without its quotes and escapes
        Literal, // {n} and n bytes
        Nil,
        List,
    };

    ImapValue() = default;
    static ImapValue atom(QByteArray text);
    static ImapValue number(quint64 value);
    static ImapValue quoted(QByteArray text);
    static ImapValue literal(ByteRange bytes);
    static ImapValue nil();
    static ImapValue list(QList<ImapValue> items);

    Kind kind() const { return m_kind; }
    bool isAtom() const { return m_kind == Kind::Atom; }
    bool isNumber() const { return m_kind == Kind::Number; }
    bool isString() const { return m_kind == Kind::Quoted || m_kind == Kind::Literal; }
    bool isNil() const { return m_kind == Kind::Nil; }
    bool isList() const { return m_kind == Kind::List; }

    // Atom: its text; Number: its digits; Quoted: the string; Literal: a
    // copy of its bytes (for small ones: use bytes() for what may be large);
    // otherwise empty.
    QByteArray text() const;
    // A string's bytes without a copy (a quoted one shares its text).
    ByteRange bytes() const;
    quint64 toNumber() const { return m_number; }
    const QList<ImapValue>& items() const { return m_items; }

    // An atom equal to `word`, ignoring ASCII case.
    bool isAtom(QByteArrayView word) const;

    // Lists nested inside this value, this one counted: 0 for a scalar.
    int depth() const;

private:
    Kind m_kind = Kind::Nil;
    QByteArray m_text;
    ByteRange m_literal;
    quint64 m_number = 0;
    QList<ImapValue> m_items;
};
