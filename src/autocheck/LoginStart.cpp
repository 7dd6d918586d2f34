#include "autocheck/LoginStart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

namespace LoginStart
{

namespace
{
#ifdef Q_OS_WIN
QSettings runKey()
{
    return QSettings(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"),
        QSettings::NativeFormat);
}
#endif
} // namespace

QString entryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/io.github.quillbeacon.Quillbeacon.desktop");
}

QString execLine(const QString& executable)
{
    // Inside double quotes, `"`, `` ` ``, `$` and `\` take a backslash; a
    // `%` is doubled, since it introduces field codes. The whole value is
    // then a string of the entry, in which a backslash is written twice.
    QString quoted;
    for (const QChar c : executable) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$'))
            quoted += QLatin1String("\\\\");
        else if (c == QLatin1Char('\\'))
            quoted += QLatin1String("\\\\\\");
        else if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString refusal(const QString& executable)
{
    for (const QChar c : executable) {
        if (c.category() == QChar::Other_Control)
            return QStringLiteral(
                "Quillbeacon cannot be started at log-in from where it is: the path of its folder "
                "holds a line break or another control character, which a start-up entry cannot "
                "hold. Move the program to a folder without one and try again.");
    }
    if (!QFileInfo(executable).isFile())
        return QStringLiteral("Quillbeacon cannot be started at log-in: its own file %1 is no "
                              "longer there.")
            .arg(QDir::toNativeSeparators(executable));
    return QString();
}

#ifdef Q_OS_WIN
bool isOn()
{
    return runKey().contains(QStringLiteral("Quillbeacon"));
}

bool set(bool on, const QString& executable, QString* error)
{
    if (on && !(*error = refusal(executable)).isEmpty())
        return false;
    QSettings key = runKey();
    if (on)
        key.setValue(QStringLiteral("Quillbeacon"),
                     QLatin1Char('"') + QDir::toNativeSeparators(executable) + QLatin1Char('"'));
    else
        key.remove(QStringLiteral("Quillbeacon"));
    key.sync();
    if (key.status() != QSettings::NoError) {
        *error = QStringLiteral("The Run key of the registry could not be changed.");
        return false;
    }
    return true;
}
#else
bool isOn()
{
    return QFile::exists(entryPath());
}

namespace
{
// Makes each missing level of `folder` with mode 0700.
bool makePrivateFolders(const QString& folder)
{
    QStringList missing;
    for (QString level = QDir::cleanPath(folder); !QFileInfo::exists(level);) {
        missing.prepend(level);
        const QString parent = QFileInfo(level).absolutePath();
        if (parent == level)
            break;
        level = parent;
    }
    constexpr QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    for (const QString& level : missing) {
        // Made with at most these bits (the umask may take some away), then
        // set to them exactly.
        if (!QDir().mkdir(level, ownerOnly) || !QFile::setPermissions(level, ownerOnly))
            return false;
    }
    return QFileInfo(folder).isDir();
}
} // namespace

bool set(bool on, const QString& executable, QString* error)
{
    const QString path = entryPath();
    if (!on) {
        if (QFile::exists(path) && !QFile::remove(path)) {
            *error = QStringLiteral("%1 could not be removed.").arg(path);
            return false;
        }
        return true;
    }
    if (!(*error = refusal(executable)).isEmpty())
        return false;
    // The entry is read by the desktop, written by us alone; the folders we
    // make for it are ours alone. Whatever the umask says.
    constexpr QFile::Permissions entryMode =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    if (makePrivateFolders(QFileInfo(path).absolutePath())) {
        // Written whole under another name, then put in place: a desktop
        // never reads half an entry.
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly) && file.setPermissions(entryMode)) {
            file.write("[Desktop Entry]\nType=Application\nName=Quillbeacon\n"
                       "Comment=Checks for new mail and tells you about it\n"
                       "Icon=io.github.quillbeacon.Quillbeacon\nExec=" +
                       execLine(executable).toUtf8() + "\nTerminal=false\n");
            if (file.commit())
                return true;
        }
    }
    *error = QStringLiteral("%1 could not be written.").arg(path);
    return false;
}
#endif

} // namespace LoginStart
