#pragma once
// Whether a password (POP3) or a message (SMTP) may go unencrypted to a
// host. To this machine it always may: that is how a local server is
// reached. To any other host only once the user has said so; the answer is
// kept per protocol and host in the settings store, section "Unencrypted".

#include <QString>

#include <functional>

namespace PlainTextConsent
{

// A loopback address or "localhost".
bool isLocal(const QString& host);
// Tests, whose servers all live on loopback, can say what counts as local;
// nullptr puts the real rule back.
void setIsLocalForTest(bool (*isLocal)(const QString& host));

// The plain connection needs no question: the host is local, or the user
// has allowed it before. `protocol` is "POP3" or "SMTP".
bool allowed(const QString& protocol, const QString& host);
// Keeps the user's Yes. False when the settings store could not be written.
bool allow(const QString& protocol, const QString& host);

// The user's answer to `question`; true sends it anyway.
using Prompt = std::function<bool(const QString& question)>;
enum class Answer { Yes, No, NobodyAsked };
// Yes where no question is needed; otherwise what the prompt answers (a Yes
// is kept), or NobodyAsked where there is no prompt.
Answer ask(const QString& protocol, const QString& host, const QString& question,
           const Prompt& prompt);

} // namespace PlainTextConsent
