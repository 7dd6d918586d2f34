#include "ui/CertificatePrompt.h"

#include "net/MailConnection.h"
#include "ui/PlainText.h"

#include <QAbstractButton>
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
                                        QString(), QMessageBox::Yes | QMessageBox::No);
            box->setObjectName(QStringLiteral("certificateQuestion"));
            // Our own words, the fingerprint and the advice stand in the
            // box's text; what the certificate says of itself in the details
            // under it, plain text of a fixed height, so that no name pushes
            // the fingerprint out of view. They are shown from the start.
            PlainText::setText(*box, question.text());
            box->setDetailedText(question.details());
            for (QAbstractButton* button : box->buttons()) {
                if (box->buttonRole(button) == QMessageBox::ActionRole)
                    button->click();
            }
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
