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

} // namespace

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
    out += "From: " + encodedWords(fields.from.trimmed()) + "\r\n";
    out += "To: " + encodedWords(fields.to.trimmed()) + "\r\n";
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
