#pragma once
// The two commands that start a POP3 session on the mailbox window's client.

namespace Module1
{
void ConnectMailbox();  // "&Delete All Mail": delete every message on the server
void ConnectRetrieve(); // "&Connect": retrieve every message
} // namespace Module1
