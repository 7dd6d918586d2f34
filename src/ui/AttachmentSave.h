#pragma once
// Saving a file a message carries, in two steps the user takes: a file
// dialog on the Downloads folder with the file's name made safe (it asks
// before it overwrites), which writes the decoded bytes whole or not at all;
// then a box that says where the file went and offers to show that folder.
// Nothing is opened unless the user asks.

#include <QByteArray>
#include <QString>

#include <functional>

class QWidget;

namespace AttachmentSave
{

// The path the dialog suggests: the safe name in the Downloads folder (the
// home folder when there is no Downloads folder).
QString suggestedPath(const QString& name);

// Asks where to save `name`, then writes what `content` gives there.
void offer(QWidget* parent, const QString& name, const std::function<QByteArray()>& content);

// Writes the bytes to the path, all or nothing; false with the reason.
bool write(const QString& path, const QByteArray& bytes, QString* reason);

// Tests: answers the dialog with a path (empty: cancelled).
void setChooserForTest(std::function<QString(const QString& suggested)> chooser);

} // namespace AttachmentSave
