#include "imap/ImapCommand.h"

namespace
{

constexpr qsizetype LiteralMinusLimit = 4096;

} // namespace

ImapCommand::Literals ImapCommand::literalsFor(const QList<QByteArray>& capabilities)
{
    if (capabilities.contains("LITERAL+"))
        return Literals::Plus;
    if (capabilities.contains("LITERAL-"))
        return Literals::Minus;
    return Literals::Synchronising;
}

ImapCommand::ImapCommand(const QByteArray& tag, QByteArrayView name, Literals literals)
    : m_tag(tag), m_literals(literals)
{
    m_pieces.append(Piece{tag, tag});
    atom(name);
}

// Pieces keep no line end while they grow: endPiece() and pieces() add it.
ImapCommand& ImapCommand::add(QByteArrayView wire, QByteArrayView logged)
{
    Piece& piece = m_pieces.last();
    if (!piece.wire.isEmpty())
        piece.wire += ' ';
    piece.wire += wire;
    if (!logged.isEmpty()) {
        if (!piece.logged.isEmpty())
            piece.logged += ' ';
        piece.logged += logged;
    }
    return *this;
}

void ImapCommand::endPiece()
{
    m_pieces.last().wire += "\r\n";
    m_pieces.append(Piece());
}

ImapCommand& ImapCommand::atom(QByteArrayView text)
{
    if (text.contains('\r') || text.contains('\n') || text.contains('\0'))
        m_sendable = false;
    return add(text, text);
}

ImapCommand& ImapCommand::string(QByteArrayView text)
{
    return addString(text, false);
}

ImapCommand& ImapCommand::secret(QByteArrayView text)
{
    return addString(text, true);
}

ImapCommand& ImapCommand::addString(QByteArrayView text, bool secret)
{
    static const QByteArray mask = "****";
    if (text.contains('\0'))
        m_sendable = false;
    const QByteArray q = quoted(text);
    if (!q.isEmpty())
        return add(q, secret ? mask : q);
    const QByteArray size = QByteArray::number(text.size());
    const bool plus = m_literals == Literals::Plus ||
                      (m_literals == Literals::Minus && text.size() <= LiteralMinusLimit);
    if (plus) {
        const QByteArray wire = '{' + size + "+}\r\n" + text.toByteArray();
        return add(wire, secret ? QByteArrayView(mask) : QByteArrayView(wire));
    }
    add('{' + size + '}', secret ? mask : QByteArray('{' + size + '}'));
    endPiece();
    Piece& piece = m_pieces.last();
    piece.wire = text.toByteArray();
    piece.logged = secret ? QByteArray() : piece.wire;
    return *this;
}

ImapCommand& ImapCommand::uids(const UidSet& set)
{
    if (set.isEmpty())
        m_sendable = false;
    return atom(set.text());
}

ImapCommand& ImapCommand::continuation(QByteArrayView line, bool secret)
{
    endPiece();
    if (line.contains('\r') || line.contains('\n') || line.contains('\0'))
        m_sendable = false;
    Piece& piece = m_pieces.last();
    piece.wire = line.toByteArray();
    piece.logged = secret ? QByteArray("****") : piece.wire;
    return *this;
}

QList<ImapCommand::Piece> ImapCommand::pieces() const
{
    QList<Piece> out = m_pieces;
    out.last().wire += "\r\n";
    return out;
}

QByteArray ImapCommand::logged() const
{
    QByteArray out;
    for (const Piece& piece : m_pieces) {
        if (piece.logged.isEmpty())
            continue;
        if (!out.isEmpty())
            out += ' ';
        out += piece.logged;
    }
    return out;
}

QByteArray ImapCommand::quoted(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size() + 2);
    out += '"';
    for (char c : text) {
        if (c == '\0' || c == '\r' || c == '\n' || uchar(c) >= 0x80)
            return {};
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

QByteArray ImapCommand::written(const ImapValue& value)
{
    switch (value.kind()) {
    case ImapValue::Kind::Atom:
    case ImapValue::Kind::Number:
        return value.text();
    case ImapValue::Kind::Nil:
        return "NIL";
    case ImapValue::Kind::Quoted:
    case ImapValue::Kind::Literal: {
        const ByteRange bytes = value.bytes();
        const QByteArray q =
            value.kind() == ImapValue::Kind::Quoted ? quoted(bytes.view()) : QByteArray();
        if (!q.isEmpty())
            return q;
        return '{' + QByteArray::number(bytes.size) + "}\r\n" + bytes.view().toByteArray();
    }
    case ImapValue::Kind::List: {
        QByteArray out = "(";
        for (const ImapValue& item : value.items()) {
            if (out.size() > 1)
                out += ' ';
            out += written(item);
        }
        return out + ')';
    }
    }
    return {};
}

QByteArray ImapCommand::saslPlain(QByteArrayView user, QByteArrayView password)
{
    return ('\0' + user.toByteArray() + '\0' + password.toByteArray()).toBase64();
}

ImapCommand ImapCommand::login(const QByteArray& tag, QByteArrayView user, QByteArrayView password,
                               Literals literals)
{
    ImapCommand command(tag, "LOGIN", literals);
    command.string(user).secret(password);
    return command;
}

ImapCommand ImapCommand::authenticatePlain(const QByteArray& tag, QByteArrayView user,
                                           QByteArrayView password, bool initialResponse)
{
    ImapCommand command(tag, "AUTHENTICATE");
    command.atom("PLAIN");
    const QByteArray response = saslPlain(user, password);
    if (initialResponse)
        command.add(response, "****");
    else
        command.continuation(response, true);
    // A NUL in either would move where the server splits the message.
    if (user.contains('\0') || password.contains('\0'))
        command.m_sendable = false;
    return command;
}
