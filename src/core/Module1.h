#pragma once
// The program-wide variables, shared by every window. They start out empty or
// zero, live for the whole run and are never saved by themselves (the settings
// record is saved by the Options window).

#include <QByteArray>
#include <QPointer>
#include <QString>

class MainForm;

namespace Module1
{

// Flags held as numbers use -1 for true and 0 for false.
inline constexpr qint16 True = -1;
inline constexpr qint16 False = 0;

// Room for the messages of one session: indices 0 to 50. The tables
// themselves (MessageSubjects, MessageRecipients, MessageBodies) are kept
// where the messages are taken apart, in pop3/MessageStore.h.
inline constexpr int MessageTableSize = 51;

extern QString MailServer;   // incoming (POP3) server
extern QString UserName;     // POP3 account name
extern QString MailPassword; // POP3 password; scrambled between LoadSettings and DecodePassword
extern QString SmtpServer;   // outgoing server; empty until the first OK of a run
extern qint16 DeleteMode;    // -1: the session being started deletes every message
extern qint32 Pop3Step;      // step of the POP3 dialogue, 0..5
extern qint32 SmtpStep;      // step of the SMTP dialogue, 0..6
extern QByteArray EncodedAttachment; // the uuencoded block of the attachment, or empty

extern QPointer<MainForm> Viewer; // the viewer most recently opened

// Puts every variable here but Viewer back to its start value (used by tests).
void ResetState();

} // namespace Module1
