#include "tray/NoTrayNotice.h"

#include "ui/PlainText.h"

#include <QMessageBox>

namespace NoTrayNotice
{

QString text()
{
    return QStringLiteral(
        "No notification area was found on this desktop, so Quillbeacon cannot show its "
        "icon there.\n\nIts commands are in the File menu of the Options window. Closing "
        "the Options window ends Quillbeacon.");
}

void show(QWidget* parent)
{
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Quillbeacon"), QString(),
                                QMessageBox::Ok, parent);
    PlainText::setText(*box, text());
    box->setObjectName(QStringLiteral("NoTrayNotice"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

} // namespace NoTrayNotice
