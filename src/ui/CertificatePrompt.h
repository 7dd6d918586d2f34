#pragma once
// The box that asks whether to trust a server's certificate that could not
// be verified. It does not block: the connection waits for the answer, and
// a box whose connection has ended meanwhile closes by itself, unanswered.

class MailConnection;

namespace CertificatePrompt
{
// Puts the connection's certificate questions to the user. Yes trusts the
// certificate for that host; No (the default) refuses it.
void attach(MailConnection& connection);
} // namespace CertificatePrompt
