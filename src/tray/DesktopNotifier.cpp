#include "tray/DesktopNotifier.h"

#include <utility>

#ifdef QB_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#endif

namespace
{
#ifdef QB_HAVE_DBUS
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
#endif
} // namespace

DesktopNotifier::DesktopNotifier(std::function<bool(const QString&, const QString&)> fallback,
                                 QObject* parent)
    : NewMailNotifier(parent), m_fallback(std::move(fallback))
{
}

QString DesktopNotifier::markupEscaped(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        if (c == QLatin1Char('&'))
            out += QLatin1String("&amp;");
        else if (c == QLatin1Char('<'))
            out += QLatin1String("&lt;");
        else if (c == QLatin1Char('>'))
            out += QLatin1String("&gt;");
        else
            out += c;
    }
    return out;
}

void DesktopNotifier::fallBack(const Notice& notice)
{
    if (m_fallback)
        m_fallback(notice.summary, notice.body);
}

void DesktopNotifier::notify(const Notice& notice)
{
#ifdef QB_HAVE_DBUS
    if (QDBusConnection::sessionBus().isConnected()) {
        listen();
        switch (m_markup) {
        case Markup::Unknown:
            m_waiting << notice;
            askCapabilities();
            return;
        case Markup::Asking:
            m_waiting << notice;
            return;
        case Markup::Rendered:
        case Markup::Literal:
            send(notice, m_markup == Markup::Rendered);
            return;
        }
    }
#endif
    fallBack(notice);
}

void DesktopNotifier::listen()
{
#ifdef QB_HAVE_DBUS
    if (m_listening)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this,
                SLOT(onActionInvoked(quint32, QString)));
    bus.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this,
                SLOT(onClosed(quint32, quint32)));
    // Another service (another desktop's, a restarted one) may render
    // differently: what this one said no longer holds.
    auto* watcher =
        new QDBusServiceWatcher(Service, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &DesktopNotifier::onOwnerChanged);
    m_listening = true;
#endif
}

void DesktopNotifier::onOwnerChanged()
{
    m_markup = Markup::Unknown;
    m_openId = 0; // our notice went with the service that showed it
    ++m_asked;
    if (!m_waiting.isEmpty())
        askCapabilities();
}

void DesktopNotifier::askCapabilities()
{
#ifdef QB_HAVE_DBUS
    m_markup = Markup::Asking;
    const int asked = ++m_asked;
    const QDBusMessage call =
        QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("GetCapabilities"));
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, asked](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (asked != m_asked)
                    return; // the service changed hands meanwhile; asked again
                const QDBusPendingReply<QStringList> reply = *w;
                // No answer is not kept: the next notice asks again. Its
                // notices meanwhile take the safe side.
                bool escape = true;
                if (reply.isError()) {
                    m_markup = Markup::Unknown;
                } else {
                    escape = reply.value().contains(QStringLiteral("body-markup"));
                    m_markup = escape ? Markup::Rendered : Markup::Literal;
                }
                const QList<Notice> waiting = std::exchange(m_waiting, {});
                for (const Notice& notice : waiting)
                    send(notice, escape);
            });
#endif
}

void DesktopNotifier::send(const Notice& notice, bool escape)
{
#ifdef QB_HAVE_DBUS
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QString::fromLatin1(AppId));
    if (!notice.category.isEmpty())
        hints.insert(QStringLiteral("category"), notice.category);
    QStringList actions;
    if (notice.opensMailbox)
        actions << QStringLiteral("default") << QStringLiteral("Show");
    QDBusMessage call =
        QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    call << QStringLiteral("Quillbeacon") << m_openId << QString::fromLatin1(AppId)
         << notice.summary << (escape ? markupEscaped(notice.body) : notice.body) << actions
         << hints << qint32(-1);
    // Asynchronous: a slow or absent service never holds up the program.
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, notice](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<quint32> reply = *w;
                if (reply.isError()) {
                    fallBack(notice);
                    return;
                }
                m_openId = reply.value();
            });
#else
    Q_UNUSED(escape);
    fallBack(notice);
#endif
}

void DesktopNotifier::onActionInvoked(quint32 id, const QString& action)
{
    if (id != 0 && id == m_openId && action == QLatin1String("default"))
        emit activated();
}

void DesktopNotifier::onClosed(quint32 id, quint32)
{
    if (id == m_openId)
        m_openId = 0;
}
