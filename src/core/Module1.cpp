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
MessageTable MessageSubjects;
MessageTable MessageRecipients;
MessageTable MessageBodies;
std::array<QByteArray, MessageTableSize> MessageSources;

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
    MessageSubjects = {};
    MessageRecipients = {};
    MessageBodies = {};
    MessageSources = {};
}

} // namespace Module1
