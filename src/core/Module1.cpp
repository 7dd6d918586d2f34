#include "core/Module1.h"

namespace Module1
{

QString MailServer;
QString UserName;
QString MailPassword;
QString SmtpServer;
qint16 DeleteMode = 0;
qint32 Pop3Step = 0;
qint32 SmtpStep = 0;
QByteArray EncodedAttachment;

void ResetState()
{
    MailServer.clear();
    UserName.clear();
    MailPassword.clear();
    SmtpServer.clear();
    DeleteMode = 0;
    Pop3Step = 0;
    SmtpStep = 0;
    EncodedAttachment.clear();
}

} // namespace Module1
