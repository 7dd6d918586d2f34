#include "ui/CertificatePrompt.h"

#include "net/CertificateTrust.h"

#include <QMessageBox>

namespace CertificatePrompt
{

bool ask(const CertificateQuestion& question)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Quillbeacon"), question.text(),
                    QMessageBox::Yes | QMessageBox::No);
    box.setObjectName(QStringLiteral("certificateQuestion"));
    box.setDefaultButton(QMessageBox::No);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    return box.exec() == QMessageBox::Yes;
}

} // namespace CertificatePrompt
