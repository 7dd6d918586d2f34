#include "ui/Pop3Commands.h"

#include "ui/AutoCheckWiring.h"
#include "ui/Email.h"

namespace Module1
{

void ConnectMailbox()
{
    // A session picked from the menu ends an automatic check still running.
    EndAutoCheck();
    Email::instance().StartSession(Pop3Session::Mode::Delete);
}

void ConnectRetrieve()
{
    // A session picked from the menu ends an automatic check still running.
    EndAutoCheck();
    Email::instance().StartSession(Pop3Session::Mode::Retrieve);
}

} // namespace Module1
