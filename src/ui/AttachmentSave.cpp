#include "ui/AttachmentSave.h"

#include "ui/BoxText.h"
#include "ui/PlainText.h"
#include "ui/SafeFileName.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

namespace AttachmentSave
{
namespace
{

std::function<QString(const QString&)>& chooser()
{
    static std::function<QString(const QString&)> answer;
    return answer;
}

QString choosePath(QWidget* parent, const QString& suggested)
{
    if (chooser())
        return chooser()(suggested);
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Save Attachment"), suggested);
}

// Boxes for what the user just asked; they do not hold up the viewer.
QMessageBox* box(QWidget* parent, const QString& text)
{
    auto* message = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Quillbeacon"), QString(),
                                    QMessageBox::NoButton, parent);
    message->setObjectName(QStringLiteral("AttachmentSaved"));
    PlainText::setText(*message, BoxText::clipped(text)); // a name from a message is no markup
    message->setAttribute(Qt::WA_DeleteOnClose);
    return message;
}

void saved(QWidget* parent, const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    QMessageBox* message =
        box(parent, QStringLiteral("Saved %1 in %2.")
                        .arg(QFileInfo(path).fileName(), QDir::toNativeSeparators(folder)));
    QPushButton* show =
        message->addButton(QStringLiteral("Show in Folder"), QMessageBox::ActionRole);
    message->addButton(QMessageBox::Ok);
    QObject::connect(show, &QPushButton::clicked, show,
                     [folder] { QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); });
    message->open();
}

} // namespace

QString suggestedPath(const QString& name)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return QDir(folder).filePath(SafeFileName::of(name));
}

bool write(const QString& path, const QByteArray& bytes, QString* reason)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    *reason = file.errorString();
    file.cancelWriting();
    return false;
}

void offer(QWidget* parent, const QString& name, const std::function<QByteArray()>& content)
{
    const QString path = choosePath(parent, suggestedPath(name));
    if (path.isEmpty())
        return;
    QString reason;
    if (write(path, content(), &reason)) {
        saved(parent, path);
        return;
    }
    QMessageBox* message = box(
        parent,
        QStringLiteral("%1 could not be saved: %2").arg(QDir::toNativeSeparators(path), reason));
    message->addButton(QMessageBox::Ok);
    message->open();
}

void setChooserForTest(std::function<QString(const QString&)> answer)
{
    chooser() = std::move(answer);
}

} // namespace AttachmentSave
