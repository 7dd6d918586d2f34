#pragma once
// The box that asks whether to trust a server's certificate that could not
// be verified. Its answer is the trust prompt of both mail connections.

struct CertificateQuestion;

namespace CertificatePrompt
{
// Yes trusts the certificate for this server; No (the default) refuses it.
bool ask(const CertificateQuestion& question);
} // namespace CertificatePrompt
