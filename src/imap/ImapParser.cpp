#include "imap/ImapParser.h"

#include "imap/ImapLimits.h"

namespace
{

constexpr quint64 MaxNumber = 9223372036854775807ull; // number64
constexpr quint64 MaxUid = 4294967295ull;             // nz-number, and a message number

// ATOM-CHAR: any CHAR but the atom-specials. 8-bit bytes are taken too, as
// servers send UTF-8 names in atoms.
bool isAtomChar(char c)
{
    const uchar u = uchar(c);
    if (u <= 0x20 || u == 0x7f)
        return false;
    switch (c) {
    case '(':
    case ')':
    case '{':
    case '%':
    case '*':
    case '"':
    case '\\':
    case ']':
        return false;
    default:
        return true;
    }
}

bool allDigits(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// The value of a string of digits, or MaxNumber + 1 past number64.
quint64 numberOf(QByteArrayView digits)
{
    quint64 value = 0;
    for (char c : digits) {
        value = value * 10 + quint64(c - '0');
        if (value > MaxNumber)
            return MaxNumber + 1;
    }
    return value;
}

QString describe(char c)
{
    const uchar u = uchar(c);
    if (u < 0x20 || u == 0x7f)
        return QStringLiteral("a control character (0x%1)").arg(u, 2, 16, QLatin1Char('0'));
    return QStringLiteral("\"%1\"").arg(QLatin1Char(c));
}

// Walks the pieces of one response. Every reader function returns false
// once the response is found malformed, and `error` says why.
class Reader
{
public:
    explicit Reader(const ImapResponseBytes& in) : m_in(in), m_line(in.lines.first()) {}

    QString error;

    bool fail(const QString& why)
    {
        if (error.isEmpty())
            error = why;
        return false;
    }

    bool atLineEnd() const { return m_pos >= m_line.size(); }
    bool atEnd() const { return atLineEnd() && m_piece == m_in.lines.size() - 1; }
    // The next byte; only where !atLineEnd().
    char peek() const { return m_line[m_pos]; }
    bool next(char c) const { return !atLineEnd() && peek() == c; }
    void skip() { ++m_pos; }
    void skipSpaces()
    {
        while (next(' '))
            ++m_pos;
    }
    bool space(const QString& what)
    {
        if (!next(' '))
            return fail(what);
        ++m_pos;
        return true;
    }

    struct Mark {
        qsizetype piece;
        qsizetype pos;
    };
    Mark mark() const { return {m_piece, m_pos}; }
    void reset(Mark m)
    {
        m_piece = m.piece;
        m_pos = m.pos;
        m_line = m_in.lines[m_piece];
    }
    QByteArrayView line() const { return m_line; }
    qsizetype pos() const { return m_pos; }
    void moveTo(qsizetype pos) { m_pos = pos; }

    // The text to the end of the response, which must hold no literal.
    bool rest(QByteArray& text)
    {
        if (m_piece != m_in.lines.size() - 1)
            return fail(QStringLiteral("a literal inside the text of a response"));
        text = m_line.sliced(m_pos).toByteArray();
        m_pos = m_line.size();
        return true;
    }

    // A run of atom characters. A flag keeps its leading backslash ("\Seen",
    // "\*"); with `sections`, "[...]" is part of the atom, spaces and lists
    // inside included ("BODY[HEADER.FIELDS (FROM SUBJECT)]<0>").
    bool atomText(QByteArray& text, bool sections)
    {
        const qsizetype start = m_pos;
        if (next('\\')) {
            ++m_pos;
            if (next('*')) {
                ++m_pos;
                text = m_line.sliced(start, 2).toByteArray();
                return true;
            }
            if (atLineEnd() || !isAtomChar(peek()))
                return fail(QStringLiteral("a backslash that begins no flag"));
        }
        while (!atLineEnd()) {
            const char c = peek();
            if (sections && c == '[') {
                if (!section())
                    return false;
                continue;
            }
            if (!isAtomChar(c))
                break;
            ++m_pos;
        }
        text = m_line.sliced(start, m_pos - start).toByteArray();
        return true;
    }

    // Any value at `depth` lists deep.
    bool value(ImapValue& out, int depth, bool sections)
    {
        if (atLineEnd())
            return fail(QStringLiteral("a value missing at the end of a line"));
        const char c = peek();
        if (c == '(') {
            if (depth >= ImapLimits::MaxDepth)
                return fail(
                    QStringLiteral("lists nested more than %1 deep").arg(ImapLimits::MaxDepth));
            ++m_pos;
            QList<ImapValue> items;
            if (!values(items, ')', depth + 1, sections))
                return false;
            out = ImapValue::list(std::move(items));
            return true;
        }
        if (c == '"')
            return quoted(out);
        if (c == '{')
            return literal(out);
        if (c == '~' && m_pos + 1 < m_line.size() && m_line[m_pos + 1] == '{')
            return fail(QStringLiteral("a binary literal, which is never asked for"));
        if (c == ')')
            return fail(QStringLiteral("a closing parenthesis without its list"));
        if (c == ']')
            return fail(QStringLiteral("a closing bracket without its response code"));
        if (!isAtomChar(c) && c != '\\')
            return fail(QStringLiteral("%1 where a value should begin").arg(describe(c)));
        QByteArray text;
        if (!atomText(text, sections))
            return false;
        if (allDigits(text)) {
            const quint64 n = numberOf(text);
            if (n > MaxNumber)
                return fail(QStringLiteral("a number past 2^63 - 1"));
            out = ImapValue::number(n);
        } else if (text.compare("NIL", Qt::CaseInsensitive) == 0) {
            out = ImapValue::nil();
        } else {
            out = ImapValue::atom(std::move(text));
        }
        return true;
    }

    // Values separated by spaces up to `closing` (consumed), or to the end
    // of the response where `closing` is 0. A list may touch what follows it
    // (a multipart BODYSTRUCTURE writes its parts so); anything else must
    // be followed by a space or the end.
    bool values(QList<ImapValue>& out, char closing, int depth, bool sections)
    {
        for (;;) {
            skipSpaces();
            if (closing == 0 && atEnd())
                return true;
            if (closing != 0 && next(closing)) {
                ++m_pos;
                return true;
            }
            if (atLineEnd()) {
                if (closing == ')')
                    return fail(QStringLiteral("a list without its closing parenthesis"));
                if (closing == ']')
                    return fail(QStringLiteral("a response code without its closing bracket"));
                return fail(QStringLiteral("a line break inside a response"));
            }
            ImapValue v;
            if (!value(v, depth, sections))
                return false;
            const bool list = v.isList();
            out.append(std::move(v));
            if (list || atLineEnd() || peek() == ' ' || peek() == closing)
                continue;
            if (peek() == ')')
                return fail(QStringLiteral("a closing parenthesis without its list"));
            return fail(QStringLiteral("%1 right after a value").arg(describe(peek())));
        }
    }

private:
    // "[" up to its "]", brackets inside counted, quoted strings skipped.
    bool section()
    {
        int open = 0;
        while (!atLineEnd()) {
            const char c = peek();
            ++m_pos;
            if (c == '[') {
                ++open;
            } else if (c == ']') {
                if (--open == 0)
                    return true;
            } else if (c == '"') {
                while (!atLineEnd() && peek() != '"') {
                    if (peek() == '\\')
                        ++m_pos;
                    ++m_pos;
                }
                if (atLineEnd())
                    break;
                ++m_pos;
            }
        }
        return fail(QStringLiteral("a section without its closing bracket"));
    }

    bool quoted(ImapValue& out)
    {
        ++m_pos;
        QByteArray text;
        for (;;) {
            const qsizetype start = m_pos;
            while (!atLineEnd() && peek() != '"' && peek() != '\\' && peek() != '\0')
                ++m_pos;
            text += m_line.sliced(start, m_pos - start);
            if (atLineEnd())
                return fail(QStringLiteral("a quoted string without its closing quote"));
            const char c = peek();
            ++m_pos;
            if (c == '"')
                break;
            if (c == '\0')
                return fail(QStringLiteral("a NUL byte in a quoted string"));
            if (atLineEnd())
                return fail(QStringLiteral("a quoted string without its closing quote"));
            const char escaped = peek();
            if (escaped != '"' && escaped != '\\')
                return fail(QStringLiteral("a backslash before %1 in a quoted string")
                                .arg(describe(escaped)));
            text += escaped;
            ++m_pos;
        }
        out = ImapValue::quoted(std::move(text));
        return true;
    }

    // "{n}" or "{n+}", which must end its line; the literal is the range
    // the framer cut after it.
    bool literal(ImapValue& out)
    {
        const qsizetype close = m_line.indexOf('}', m_pos);
        QByteArrayView digits =
            close < 0 ? QByteArrayView() : m_line.sliced(m_pos + 1, close - m_pos - 1);
        if (digits.endsWith('+'))
            digits.chop(1);
        if (close < 0 || !allDigits(digits))
            return fail(QStringLiteral("a malformed literal announcement"));
        if (close != m_line.size() - 1 || m_piece == m_in.lines.size() - 1)
            return fail(QStringLiteral("a literal announcement that does not end its line"));
        const ByteRange& bytes = m_in.literals[m_piece];
        const quint64 announced = numberOf(digits);
        if (announced != quint64(bytes.size))
            return fail(QStringLiteral("a literal of %1 bytes where %2 were announced")
                            .arg(bytes.size)
                            .arg(QString::fromLatin1(digits)));
        out = ImapValue::literal(bytes);
        ++m_piece;
        m_line = m_in.lines[m_piece];
        m_pos = 0;
        return true;
    }

    const ImapResponseBytes& m_in;
    qsizetype m_piece = 0;
    QByteArrayView m_line;
    qsizetype m_pos = 0;
};

bool isUid(const ImapValue& v)
{
    return v.isNumber() && v.toNumber() >= 1 && v.toNumber() <= MaxUid;
}

bool isFlagList(const ImapValue& v)
{
    if (!v.isList())
        return false;
    for (const ImapValue& flag : v.items()) {
        if (!flag.isAtom())
            return false;
    }
    return true;
}

// A code whose arguments must read as values, and must be right.
bool structuredCode(const QByteArray& name)
{
    return name == "CAPABILITY" || name == "PERMANENTFLAGS" || name == "UIDVALIDITY" ||
           name == "UIDNEXT" || name == "UNSEEN";
}

bool checkCode(Reader& r, const ImapResponseCode& code)
{
    if (code.name == "UIDVALIDITY" || code.name == "UIDNEXT" || code.name == "UNSEEN") {
        if (code.args.size() != 1 || !isUid(code.args.first()))
            return r.fail(QStringLiteral("a %1 that is not a number from 1 to 4294967295")
                              .arg(QString::fromLatin1(code.name)));
    } else if (code.name == "CAPABILITY") {
        for (const ImapValue& v : code.args) {
            if (!v.isAtom())
                return r.fail(QStringLiteral("a CAPABILITY code that holds more than names"));
        }
    } else if (code.name == "PERMANENTFLAGS") {
        if (code.args.size() != 1 || !isFlagList(code.args.first()))
            return r.fail(QStringLiteral("a PERMANENTFLAGS code that is not a list of flags"));
    }
    return true;
}

// [ "[" code "]" SP ] text, to the end of the response.
bool respText(Reader& r, ImapResponse& out)
{
    if (r.next('[')) {
        r.skip();
        QByteArray name;
        while (!r.atLineEnd() && isAtomChar(r.peek()))
            name += r.peek(), r.skip();
        if (name.isEmpty())
            return r.fail(QStringLiteral("a response code without a name"));
        out.code.name = name.toUpper();
        if (r.next(' ')) {
            r.skip();
            const Reader::Mark start = r.mark();
            if (r.values(out.code.args, ']', 0, false)) {
                if (r.mark().piece != start.piece)
                    return r.fail(QStringLiteral("a literal inside a response code"));
                out.code.text = r.line().sliced(start.pos, r.pos() - 1 - start.pos).toByteArray();
            } else if (structuredCode(out.code.name)) {
                return false;
            } else {
                // A code of its own kind with free text ("[REFERRAL imap://...]").
                r.error.clear();
                r.reset(start);
                out.code.args.clear();
                const qsizetype close = r.line().indexOf(']', start.pos);
                if (close < 0)
                    return r.fail(QStringLiteral("a response code without its closing bracket"));
                out.code.text = r.line().sliced(start.pos, close - start.pos).toByteArray();
                r.moveTo(close + 1);
            }
        } else if (r.next(']')) {
            r.skip();
        } else {
            return r.fail(QStringLiteral("a response code without its closing bracket"));
        }
        if (!checkCode(r, out.code))
            return false;
        if (r.next(' '))
            r.skip();
    }
    return r.rest(out.text);
}

bool checkFetch(Reader& r, const ImapValue& list)
{
    const QList<ImapValue>& items = list.items();
    if (items.size() % 2 != 0)
        return r.fail(QStringLiteral("a FETCH whose items do not pair up"));
    bool uid = false;
    for (qsizetype i = 0; i < items.size(); i += 2) {
        const ImapValue& name = items[i];
        const ImapValue& v = items[i + 1];
        if (!name.isAtom())
            return r.fail(QStringLiteral("a FETCH item without a name"));
        if (name.isAtom("UID")) {
            if (!isUid(v))
                return r.fail(QStringLiteral("a FETCH whose UID is not a number from 1 to "
                                             "4294967295"));
            if (uid)
                return r.fail(QStringLiteral("a FETCH with two UIDs"));
            uid = true;
        } else if (name.isAtom("FLAGS")) {
            if (!isFlagList(v))
                return r.fail(QStringLiteral("a FETCH whose FLAGS are not a list of flags"));
        } else if (name.isAtom("RFC822.SIZE")) {
            if (!v.isNumber())
                return r.fail(QStringLiteral("a FETCH whose RFC822.SIZE is not a number"));
        } else if (name.text().toUpper().startsWith("BODY[") ||
                   name.text().toUpper().startsWith("BINARY[") || name.isAtom("RFC822") ||
                   name.isAtom("RFC822.HEADER") || name.isAtom("RFC822.TEXT")) {
            if (!v.isString() && !v.isNil())
                return r.fail(QStringLiteral("a FETCH whose %1 is neither a string nor NIL")
                                  .arg(QString::fromLatin1(name.text())));
        }
    }
    return true;
}

bool checkData(Reader& r, const ImapResponse& out)
{
    if (out.name == "CAPABILITY") {
        for (const ImapValue& v : out.data) {
            if (!v.isAtom())
                return r.fail(QStringLiteral("a CAPABILITY response that lists more than names"));
        }
    } else if (out.name == "FLAGS") {
        if (out.data.size() != 1 || !isFlagList(out.data.first()))
            return r.fail(QStringLiteral("a FLAGS response that is not a list of flags"));
    } else if (out.name == "SEARCH") {
        // Numbers, and with CONDSTORE a "(MODSEQ n)" after them.
        for (const ImapValue& v : out.data) {
            if (!isUid(v) && !v.isList())
                return r.fail(QStringLiteral("a SEARCH response with something other than "
                                             "numbers from 1 to 4294967295"));
        }
    } else if (out.name == "ESEARCH") {
        for (qsizetype i = 0; i + 1 < out.data.size(); ++i) {
            if (out.data[i].isAtom("ALL") && !UidSet::parse(out.data[i + 1].text()).has_value())
                return r.fail(QStringLiteral("an ESEARCH whose ALL is not a set of numbers"));
        }
    }
    return true;
}

bool untagged(Reader& r, ImapResponse& out)
{
    out.kind = ImapResponse::Kind::Untagged;
    if (r.atLineEnd())
        return r.fail(QStringLiteral("an untagged response without a name"));
    QByteArray word;
    if (!r.atomText(word, false))
        return false;
    if (word.isEmpty())
        return r.fail(
            QStringLiteral("%1 where an untagged response should begin").arg(describe(r.peek())));
    if (allDigits(word)) {
        const quint64 n = numberOf(word);
        if (n > MaxUid)
            return r.fail(QStringLiteral("a message number past 4294967295"));
        out.number = quint32(n);
        if (!r.space(QStringLiteral("a number without the name of its data")))
            return false;
        if (!r.atomText(word, false))
            return false;
        out.name = word.toUpper();
        if (out.name.isEmpty())
            return r.fail(QStringLiteral("a number without the name of its data"));
        if ((out.name == "EXPUNGE" || out.name == "FETCH") && out.number == 0)
            return r.fail(QStringLiteral("%1 of message 0").arg(QString::fromLatin1(out.name)));
        if (out.name == "EXISTS" || out.name == "RECENT" || out.name == "EXPUNGE") {
            r.skipSpaces();
            return r.atEnd() ||
                   r.fail(QStringLiteral("more after %1").arg(QString::fromLatin1(out.name)));
        }
        if (!r.atEnd() && !r.space(QStringLiteral("no space after the name of the data")))
            return false;
        if (!r.values(out.data, 0, 0, true))
            return false;
        if (out.name == "FETCH") {
            if (out.data.size() != 1 || !out.data.first().isList())
                return r.fail(QStringLiteral("a FETCH that is not one list"));
            return checkFetch(r, out.data.first());
        }
        return true;
    }
    out.name = word.toUpper();
    if (out.name == "EXISTS" || out.name == "RECENT" || out.name == "EXPUNGE" ||
        out.name == "FETCH")
        return r.fail(
            QStringLiteral("%1 without its message number").arg(QString::fromLatin1(out.name)));
    using S = ImapResponse::Status;
    const S status = out.name == "OK"        ? S::Ok
                     : out.name == "NO"      ? S::No
                     : out.name == "BAD"     ? S::Bad
                     : out.name == "BYE"     ? S::Bye
                     : out.name == "PREAUTH" ? S::Preauth
                                             : S::None;
    if (!r.atEnd() && !r.space(QStringLiteral("no space after %1").arg(QString::fromLatin1(word))))
        return false;
    if (status != S::None) {
        out.status = status;
        return respText(r, out);
    }
    return r.values(out.data, 0, 0, true) && checkData(r, out);
}

bool tagged(Reader& r, ImapResponse& out)
{
    out.kind = ImapResponse::Kind::Tagged;
    const qsizetype start = r.pos();
    while (!r.atLineEnd() && (isAtomChar(r.peek()) || r.peek() == ']') && r.peek() != '+')
        r.skip();
    out.tag = r.line().sliced(start, r.pos() - start).toByteArray();
    if (out.tag.isEmpty())
        return r.fail(QStringLiteral("%1 where a response should begin").arg(describe(r.peek())));
    if (!r.space(QStringLiteral("a tag without a status")))
        return false;
    QByteArray word;
    if (!r.atomText(word, false))
        return false;
    out.name = word.toUpper();
    using S = ImapResponse::Status;
    out.status = out.name == "OK"    ? S::Ok
                 : out.name == "NO"  ? S::No
                 : out.name == "BAD" ? S::Bad
                                     : S::None;
    if (out.status == S::None)
        return r.fail(QStringLiteral("a tagged response whose status is not OK, NO or BAD"));
    if (r.atEnd())
        return true;
    return r.space(QStringLiteral("no space after the status")) && respText(r, out);
}

} // namespace

ImapParseResult ImapParser::parse(const ImapResponseBytes& in)
{
    ImapParseResult result;
    if (in.lines.isEmpty() || in.literals.size() != in.lines.size() - 1) {
        result.error = QStringLiteral("a response whose literals do not match its lines");
        return result;
    }
    if (in.lineBytes() > ImapLimits::MaxLine) {
        result.error = QStringLiteral("a line longer than %1 bytes").arg(ImapLimits::MaxLine);
        return result;
    }
    Reader r(in);
    ImapResponse& out = result.response;
    if (r.atLineEnd()) {
        r.fail(QStringLiteral("an empty line"));
    } else if (r.next('+')) {
        r.skip();
        out.kind = ImapResponse::Kind::Continuation;
        if (r.next(' '))
            r.skip();
        respText(r, out);
    } else if (r.next('*')) {
        r.skip();
        if (r.space(QStringLiteral("an untagged response without its space")))
            untagged(r, out);
    } else {
        tagged(r, out);
    }
    if (!r.error.isEmpty()) {
        result.error = r.error;
        result.response = ImapResponse();
    }
    return result;
}
