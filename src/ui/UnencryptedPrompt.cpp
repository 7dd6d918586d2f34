#include "ui/UnencryptedPrompt.h"

#include <QMessageBox>

namespace UnencryptedPrompt
{

bool ask(const QString& question)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Quillbeacon"), question,
                    QMessageBox::Yes | QMessageBox::No);
    box.setObjectName(QStringLiteral("unencryptedQuestion"));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace UnencryptedPrompt
