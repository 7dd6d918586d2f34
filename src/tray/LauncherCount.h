#pragma once
// The count on the program's launcher entry, where the desktop shows one.
// Docks and task managers that follow Unity's launcher API (Ubuntu's dock,
// Dash to Dock, Plank, KDE Plasma's task manager) listen on the session bus
// for com.canonical.Unity.LauncherEntry.Update(app_uri, properties) and put
// the count on the entry of that desktop file; the freedesktop tray icon
// itself has no count. Nothing answers the signal, and where no dock
// listens it goes nowhere. Without D-Bus (Windows) this does nothing.

#include <QObject>
#include <QString>

class LauncherCount : public QObject
{
    Q_OBJECT
public:
    // The desktop file the program is installed with (packaging/).
    static constexpr char AppUri[] = "application://io.github.quillbeacon.Quillbeacon.desktop";
    static constexpr char ObjectPath[] = "/io/github/quillbeacon/Quillbeacon/LauncherEntry";

    // `connection` names a QDBusConnection; empty for the session bus.
    explicit LauncherCount(const QString& connection = QString(), QObject* parent = nullptr);

    // Sends the count when it differs from the last one: the true number
    // (the dock draws it as it likes), shown while above 0, hidden at 0.
    void setCount(int count);
    int count() const { return m_count; }

private:
    QString m_connection;
    int m_count = 0; // what the desktop was last told; it starts with none
};
