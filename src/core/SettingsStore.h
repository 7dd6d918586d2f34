#pragma once
// The per-user settings store: text values addressed by application name,
// section and key. The application name is made from the executable's path,
// so a copy of the program in another folder keeps settings of its own.
//
// Backed by QSettings in the native format (the registry on Windows, an INI
// file under the user's config folder elsewhere). The application name is
// escaped into one group, so the separators of a path do not nest groups.

#include <QString>

class SettingsStore
{
public:
    explicit SettingsStore(QString applicationName);

    // The running program's store.
    static SettingsStore forThisProgram();

    // Folder of the executable, a backslash, its base name, and ".exe".
    static QString applicationName(const QString& executableFolder, const QString& baseName);
    static QString thisApplicationName();

    QString GetSetting(const QString& section, const QString& key,
                       const QString& defaultValue) const;

    // Creates or replaces the entry. The file is replaced atomically and kept
    // readable by its owner only. Returns false, with errorString() set, when
    // the store could not be written; nothing is changed then.
    bool SaveSetting(const QString& section, const QString& key, const QString& value);
    // Both entries written together, or neither.
    bool SaveSettings(const QList<std::pair<QString, QString>>& sectionKeys,
                      const QStringList& values);

    QString errorString() const { return m_error; }
    QString fileName() const;

private:
    QString keyPath(const QString& section, const QString& key) const;

    QString m_group;
    QString m_error;
};
