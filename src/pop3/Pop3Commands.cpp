#include "pop3/Pop3Commands.h"

#include "core/Module1.h"

// Placeholder until the mailbox window exists.
namespace Module1 {
void ConnectMailbox()
{
    DeleteMode = True;
    Pop3Step = 0;
}
void ConnectRetrieve()
{
    DeleteMode = False;
    Pop3Step = 0;
}
} // namespace Module1
