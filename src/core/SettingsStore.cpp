#include "core/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QUrl>

namespace
{

constexpr auto kOrganization = "Quillbeacon";
constexpr auto kStoreName = "Quillbeacon";

QSettings openStore()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QLatin1String(kOrganization),
                     QLatin1String(kStoreName));
}

// The settings file holds a reversible password: keep it to its owner. The
// owner's own bits stay as they are: a file made read-only is not written.
void restrictToOwner(const QString& fileName)
{
    if (fileName.isEmpty() || !QFileInfo(fileName).isAbsolute())
        return; // the registry
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    if (!QFileInfo::exists(fileName)) {
        QFile file(fileName);
        if (file.open(QIODevice::WriteOnly))
            file.close();
    }
    const QFile::Permissions owner =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    QFile::setPermissions(fileName, QFile::permissions(fileName) & owner);
}

QByteArray contentOf(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

SettingsStore::SettingsStore(QString applicationName)
    : m_group(QString::fromLatin1(QUrl::toPercentEncoding(applicationName, " .-_~")))
{
}

SettingsStore SettingsStore::forThisProgram()
{
    return SettingsStore(thisApplicationName());
}

QString SettingsStore::applicationName(const QString& executableFolder, const QString& baseName)
{
    return executableFolder + QLatin1Char('\\') + baseName + QLatin1String(".exe");
}

QString SettingsStore::thisApplicationName()
{
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    return applicationName(QDir::toNativeSeparators(exe.absolutePath()), exe.completeBaseName());
}

QString SettingsStore::fileName() const
{
    return openStore().fileName();
}

QString SettingsStore::keyPath(const QString& section, const QString& key) const
{
    return m_group + QLatin1Char('/') + section + QLatin1Char('/') + key;
}

QString SettingsStore::GetSetting(const QString& section, const QString& key,
                                  const QString& defaultValue) const
{
    const QSettings store = openStore();
    const QVariant value = store.value(keyPath(section, key));
    return value.isValid() ? value.toString() : defaultValue;
}

bool SettingsStore::SaveSetting(const QString& section, const QString& key, const QString& value)
{
    return SaveSettings({{section, key}}, {value});
}

bool SettingsStore::SaveSettings(const QList<std::pair<QString, QString>>& sectionKeys,
                                 const QStringList& values)
{
    m_error.clear();
    QSettings store = openStore();
    restrictToOwner(store.fileName());
    const QByteArray before = contentOf(store.fileName());
    for (qsizetype i = 0; i < sectionKeys.size(); ++i)
        store.setValue(keyPath(sectionKeys[i].first, sectionKeys[i].second), values.value(i));
    store.sync();
    QSettings::Status status = store.status();
    // A damaged file is still replaced whole, by what could be read of it and
    // the new values: that is a save. One that stayed as it was could not be
    // written (a failed write does not show in the status then).
    if (status == QSettings::FormatError)
        status =
            contentOf(store.fileName()) != before ? QSettings::NoError : QSettings::AccessError;
    if (status != QSettings::NoError) {
        m_error = QStringLiteral("The settings file %1 could not be written.")
                      .arg(QDir::toNativeSeparators(store.fileName()));
        return false;
    }
    restrictToOwner(store.fileName());
    return true;
}
