#include "ui/UnencryptedPrompt.h"

#include "ui/PlainText.h"

#include <QMessageBox>

namespace UnencryptedPrompt
{

bool ask(const QString& question)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Quillbeacon"), QString(),
                    QMessageBox::Yes | QMessageBox::No);
    PlainText::setText(box, question);
    box.setObjectName(QStringLiteral("unencryptedQuestion"));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace UnencryptedPrompt
