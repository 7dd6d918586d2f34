// The SMTP dialogue fed arbitrary server replies in arbitrary pieces. Nothing
// it writes may hold a bare CR or LF, a lone "." line may only end the data,
// and after the send has ended nothing more is written. In the STARTTLS
// dialogue no credential and no mail command goes out before encryption.

#include "FuzzInput.h"
#include "smtp/SmtpDialogue.h"

#include <cstdlib>

namespace
{

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkLineEnds(const QByteArray& sent)
{
    for (qsizetype i = 0; i < sent.size(); ++i) {
        if (sent[i] == '\n')
            check(i > 0 && sent[i - 1] == '\r');
        if (sent[i] == '\r')
            check(i + 1 < sent.size() && sent[i + 1] == '\n');
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first byte picks the dialogue.
    using Security = SmtpDialogue::Security;
    const Security security = size == 0          ? Security::Plain
                              : data[0] % 3 == 1 ? Security::Tls
                              : data[0] % 3 == 2 ? Security::StartTls
                                                 : Security::Plain;
    SmtpDialogue dialogue;
    SmtpDialogue::Message message;
    message.sender = QStringLiteral("ann@example.test");
    message.recipient = QStringLiteral("bob@example.test");
    message.subject = QStringLiteral("Hi");
    message.text = QStringLiteral(".\r\n..two\nline\r.\r\n");
    message.attachment = QByteArrayLiteral("begin 664 a\n.86)C\n \nend\n");
    dialogue.start(message, security, {QStringLiteral("ann"), QStringLiteral("pw")});

    QByteArray sent;
    bool ended = false;
    bool sentOutcome = false;
    bool encrypted = false;
    for (QByteArrayView piece : piecesOf(data, size)) {
        const SmtpDialogue::Reaction reaction = dialogue.dataArrived(piece);
        if (ended)
            check(reaction.toSend.isEmpty() && !reaction.close);
        sent += reaction.toSend;
        if (reaction.startData)
            sent += dialogue.dataWriter().all();
        if (security == Security::StartTls && !encrypted)
            check(!sent.contains("AUTH") && !sent.contains("MAIL FROM"));
        if (reaction.startTls) {
            encrypted = true;
            sent += dialogue.encrypted().toSend;
        }
        if (reaction.outcome != SmtpDialogue::Outcome::Running) {
            check(reaction.close);
            ended = true;
            sentOutcome = reaction.outcome == SmtpDialogue::Outcome::Sent;
        }
    }
    checkLineEnds(sent);
    // The data section ends at its one lone "." line.
    const qsizetype dataAt = sent.indexOf("DATA\r\n");
    const qsizetype terminator = sent.indexOf("\r\n.\r\n");
    if (terminator >= 0) {
        check(dataAt >= 0 && dataAt < terminator);
        check(sent.indexOf("\r\n.\r\n", terminator + 1) < 0);
    }
    if (sentOutcome)
        check(terminator >= 0 && dialogue.dataAccepted());
    return 0;
}
