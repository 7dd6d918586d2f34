#pragma once
// The local mail servers that scripts/mailhost runs (Dovecot POP3 on
// 127.0.0.1:110 and, over TLS, 995; Postfix SMTP on 127.0.0.1:25, submission
// with STARTTLS and AUTH on 587, TLS and AUTH on 465), driven through that
// script as named by the QB_MAILHOST environment variable. Live tests begin
// with QB_REQUIRE_OR_SKIP(Mailhost::missing()).

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "support/Prerequisite.h"

namespace Mailhost
{

constexpr char Host[] = "127.0.0.1";
constexpr quint16 Pop3Port = 110;
constexpr quint16 Pop3sPort = 995;
constexpr quint16 SmtpPort = 25;
constexpr quint16 SubmissionPort = 587;
constexpr quint16 SmtpsPort = 465;
constexpr char User[] = "qbtest";
constexpr char Password[] = "qbpass";
constexpr char Address[] = "qbtest@localhost";

// QB_MAILHOST is set and every port above accepts connections.
bool available();
// Why the servers cannot be used, or empty when they can.
QString missing();

// Each returns false (after a warning with the script's message) on failure.
bool clear();
// n messages of about size bytes each, "Subject: Message 1" to "Message n",
// numbered by the server in that order.
bool seed(int n, int size);
// The given messages, in order, after those already there (bare LF becomes CR LF).
bool add(const QList<QByteArray>& messages);

// Messages in the mailbox, -1 on failure.
int count();
// Removes message `number` (1-based), as another client would.
bool expunge(int number);
// Waits until exactly n messages are there, at most the given seconds.
bool waitCount(int n, int seconds = 30);

QString maildir();
// The message files in the server's order: entry 0 is POP3 message 1.
QStringList list();
// The file content of POP3 message number (1-based, as in "RETR number");
// empty when there is no such message.
QByteArray readMessage(int number);

// Fault injection: stop or restart one server only.
bool stopPop3();
bool startPop3();
bool stopSmtp();
bool startSmtp();

// The test CA's certificate, which SSL_CERT_FILE names in the tests.
QString caFile();
// What the TLS ports present to new connections: "good" (from the CA, for
// localhost and 127.0.0.1), "othername" (from the CA, for other.example only),
// "untrusted" and "untrusted2" (two different self-signed ones).
bool setCertificate(const QString& name);
// Whether port 587 offers STARTTLS.
bool setStartTls(bool on);
// Authentication attempts (POP3 and SMTP, successful or not) since the
// servers started, -1 on failure.
int logins();

} // namespace Mailhost
