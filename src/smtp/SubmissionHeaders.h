#pragma once
// The header lines a submission server requires of a message sent over a
// secure connection: From, To, Subject, Date, Message-ID, MIME-Version and
// Content-Type text/plain in UTF-8, with the transfer encoding the body
// needs. A subject that is not plain ASCII goes as RFC 2047 encoded words.

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace SubmissionHeaders
{

struct Fields {
    QString from;
    QString to;
    QString subject;
    QDateTime date;
    QByteArray messageId;        // without the angle brackets
    QByteArray transferEncoding; // "7bit", "8bit" or "quoted-printable"
};

// The head of the data section: the header lines and the empty line, each
// ended by CR LF.
QByteArray head(const Fields& fields);

// "=?UTF-8?B?...?=" words of at most 75 characters, folded onto lines of
// their own; the text unchanged when it is printable ASCII that fits a line.
QByteArray encodedWords(const QString& text);

// An address field as a header value: "Name <address>" keeps the address
// outside the name, which goes as a quoted string or as encoded words where
// it needs to.
QByteArray mailbox(const QString& field);

// A fresh "unique@domain" for the sender's address.
QByteArray newMessageId(const QString& sender);

} // namespace SubmissionHeaders
