#pragma once
// The program-wide variables, shared by every window. They start out empty or
// zero, live for the whole run and are never saved by themselves (the settings
// record is saved by the Options window).

#include <QByteArray>
#include <QPointer>
#include <QString>

#include <array>

class MainForm;

namespace Module1
{

// Flags held as numbers use -1 for true and 0 for false.
inline constexpr qint16 True = -1;
inline constexpr qint16 False = 0;

// Room for the messages of one session: indices 0 to 50.
inline constexpr int MessageTableSize = 51;
using MessageTable = std::array<QString, MessageTableSize>;

extern QString MailServer;   // incoming (POP3) server
extern QString UserName;     // POP3 account name
extern QString MailPassword; // POP3 password; scrambled between LoadSettings and DecodePassword
extern QString SmtpServer;   // outgoing server; empty until the first OK of a run
extern qint16 DeleteMode;    // -1: the session being started deletes every message
extern qint32 Pop3Step;      // step of the POP3 dialogue, 0..5
extern qint32 SmtpStep;      // step of the SMTP dialogue, 0..6
extern QByteArray EncodedAttachment; // the uuencoded block of the attachment, or empty

// Message n of a session is stored at index n-1 and its subject is appended
// to Email's lstMessages, so list row i and index i name the same message.
extern MessageTable MessageSubjects;
extern MessageTable MessageRecipients; // the "to:" value, trimmed
extern MessageTable MessageBodies;
// Beside the tables, in step with them: each message's RETR reply as it came
// in, decoded for display only when it is shown.
extern std::array<QByteArray, MessageTableSize> MessageSources;

extern QPointer<MainForm> Viewer; // the viewer most recently opened

// Puts every variable but Viewer back to its start value (used by tests).
void ResetState();

} // namespace Module1
