#pragma once
// The local mail servers that scripts/mailhost runs (Dovecot POP3 on
// 127.0.0.1:110, Postfix SMTP on 127.0.0.1:25), driven through that script as
// named by the QB_MAILHOST environment variable. Live tests call available()
// first and skip when it is false.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace Mailhost
{

constexpr char Host[] = "127.0.0.1";
constexpr quint16 Pop3Port = 110;
constexpr quint16 SmtpPort = 25;
constexpr char User[] = "qbtest";
constexpr char Password[] = "qbpass";
constexpr char Address[] = "qbtest@localhost";

// QB_MAILHOST is set and both servers accept connections.
bool available();

// Each returns false (after a warning with the script's message) on failure.
bool clear();
// n messages of about size bytes each, "Subject: Message 1" to "Message n",
// numbered by the server in that order.
bool seed(int n, int size);
// The given messages, in order, after those already there (bare LF becomes CR LF).
bool add(const QList<QByteArray>& messages);

// Messages in the mailbox, -1 on failure.
int count();
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

} // namespace Mailhost
