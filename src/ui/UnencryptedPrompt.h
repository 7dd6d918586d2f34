#pragma once
// The box that asks before a password or a message would go unencrypted
// to another machine: the consent prompt of both mail clients.

class QString;

namespace UnencryptedPrompt
{
// Yes sends it anyway (and is kept for that host); No, the default, sends
// nothing.
bool ask(const QString& question);
} // namespace UnencryptedPrompt
