#include "smtp/SubmissionHeaders.h"

#include <QUuid>

namespace SubmissionHeaders
{

namespace
{

bool isPlainAscii(const QByteArray& bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e)
            return false;
    return true;
}

// A display name as a header phrase: as typed where that is a valid one,
// in quotes where it holds characters with a meaning of their own, and as
// encoded words where it is not ASCII.
QByteArray phrase(const QString& name)
{
    const QByteArray utf8 = name.toUtf8();
    if (!isPlainAscii(utf8))
        return encodedWords(name);
    if (utf8.size() >= 2 && utf8.startsWith('"') && utf8.endsWith('"'))
        return utf8;
    static const QByteArray Specials = "()<>[]:;@\\,.\"";
    bool special = false;
    for (const char c : utf8)
        special = special || Specials.contains(c);
    if (!special)
        return utf8;
    QByteArray quoted = "\"";
    for (const char c : utf8) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

} // namespace

QByteArray mailbox(const QString& field)
{
    const QString trimmed = field.trimmed();
    const qsizetype open = trimmed.lastIndexOf(QLatin1Char('<'));
    if (open < 0 || !trimmed.endsWith(QLatin1Char('>')))
        return encodedWords(trimmed);
    const QString name = trimmed.left(open).trimmed();
    const QByteArray address = trimmed.mid(open).toUtf8();
    return name.isEmpty() ? address : phrase(name) + ' ' + address;
}

QByteArray encodedWords(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    if (isPlainAscii(utf8) && utf8.size() <= 900)
        return utf8;
    // 45 bytes make 60 base64 characters: with "=?UTF-8?B?" and "?=" a word
    // of 72. A word never splits a character.
    QByteArray out;
    qsizetype start = 0;
    while (start < utf8.size()) {
        qsizetype end = qMin(start + 45, utf8.size());
        while (end < utf8.size() && end > start + 1 &&
               (static_cast<unsigned char>(utf8.at(end)) & 0xC0) == 0x80)
            --end;
        if (!out.isEmpty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + utf8.mid(start, end - start).toBase64() + "?=";
        start = end;
    }
    return out;
}

QByteArray newMessageId(const QString& sender)
{
    const QString address = sender.trimmed();
    QString domain = address.mid(address.lastIndexOf(QLatin1Char('@')) + 1);
    const bool usable = address.contains(QLatin1Char('@')) && !domain.isEmpty() &&
                        isPlainAscii(domain.toUtf8()) && !domain.contains(QLatin1Char('>')) &&
                        !domain.contains(QLatin1Char(' '));
    if (!usable)
        domain = QStringLiteral("quillbeacon.invalid");
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toLatin1() + '@' + domain.toUtf8();
}

QByteArray head(const Fields& fields)
{
    QByteArray out;
    out += "From: " + mailbox(fields.from) + "\r\n";
    out += "To: " + mailbox(fields.to) + "\r\n";
    out += "Subject: " + encodedWords(fields.subject) + "\r\n";
    out += "Date: " + fields.date.toString(Qt::RFC2822Date).toLatin1() + "\r\n";
    out += "Message-ID: <" + fields.messageId + ">\r\n";
    out += "MIME-Version: 1.0\r\n";
    out += "Content-Type: text/plain; charset=UTF-8\r\n";
    out += "Content-Transfer-Encoding: " + fields.transferEncoding + "\r\n";
    out += "\r\n";
    return out;
}

} // namespace SubmissionHeaders
