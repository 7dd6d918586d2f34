#include "ui/CertificatePrompt.h"

#include "net/MailConnection.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

namespace
{
const char TicketProperty[] = "certificateTicket";
} // namespace

namespace CertificatePrompt
{

void attach(MailConnection& connection)
{
    QPointer<MailConnection> asker(&connection);
    QObject::connect(
        &connection, &MailConnection::certificateQuestion, &connection,
        [asker](const CertificateQuestion& question) {
            auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Quillbeacon"),
                                        question.text(), QMessageBox::Yes | QMessageBox::No);
            box->setObjectName(QStringLiteral("certificateQuestion"));
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->setDefaultButton(QMessageBox::No);
            box->setTextInteractionFlags(Qt::TextSelectableByMouse);
            box->setWindowModality(Qt::ApplicationModal);
            box->setProperty(TicketProperty, question.ticket);
            const quint64 ticket = question.ticket;
            // The answer is carried out once the box is gone: a failure it leads
            // to may show a box of its own.
            QObject::connect(box, &QMessageBox::finished, box, [asker, ticket](int result) {
                const bool trust = result == QMessageBox::Yes;
                if (!asker)
                    return;
                QMetaObject::invokeMethod(
                    asker, [asker, ticket, trust] { asker->answerCertificate(ticket, trust); },
                    Qt::QueuedConnection);
            });
            box->show();
        });
    QObject::connect(&connection, &MailConnection::questionWithdrawn, &connection,
                     [](quint64 ticket) {
                         for (QWidget* widget : QApplication::topLevelWidgets()) {
                             auto* box = qobject_cast<QMessageBox*>(widget);
                             if (box && box->property(TicketProperty).toULongLong() == ticket) {
                                 box->disconnect(); // no answer: its connection is gone
                                 box->close();
                             }
                         }
                     });
}

} // namespace CertificatePrompt
