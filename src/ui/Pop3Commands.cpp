#include "ui/Pop3Commands.h"

#include "ui/Email.h"

namespace Module1
{

void ConnectMailbox()
{
    Email::instance().StartSession(Pop3Session::Mode::Delete);
}

void ConnectRetrieve()
{
    Email::instance().StartSession(Pop3Session::Mode::Retrieve);
}

} // namespace Module1
