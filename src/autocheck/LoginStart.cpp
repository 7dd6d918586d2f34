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
    // `%` is doubled everywhere, since it introduces field codes.
    QString quoted;
    for (const QChar c : executable) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

#ifdef Q_OS_WIN
bool isOn()
{
    return runKey().contains(QStringLiteral("Quillbeacon"));
}

bool set(bool on, const QString& executable, QString* error)
{
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
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write("[Desktop Entry]\nType=Application\nName=Quillbeacon\n"
                   "Comment=Checks for new mail and tells you about it\n"
                   "Icon=io.github.quillbeacon.Quillbeacon\nExec=" +
                   execLine(executable).toUtf8() + "\nTerminal=false\n");
        if (file.commit())
            return true;
    }
    *error = QStringLiteral("%1 could not be written.").arg(path);
    return false;
}
#endif

} // namespace LoginStart
