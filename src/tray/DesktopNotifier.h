#pragma once
// Notices through the freedesktop notification service
// (org.freedesktop.Notifications on the session bus): each new one replaces
// the last of ours while that is still open, and its default action raises
// the mailbox window. Where no service answers, the tray icon's message
// stands in, if the notification area shows messages; otherwise nothing.
//
// A notice's text is plain, and much of it is a stranger's (subjects,
// senders, a server's reply). The service is asked once what it does with a
// body (GetCapabilities), and again when another program takes the service
// over: where it reads the body as markup, "&", "<" and ">" go as entities,
// so that nothing in it is drawn as markup or followed as a link. The
// summary is plain text to every service and goes as it is.

#include "autocheck/NewMailNotifier.h"

#include <QList>
#include <QPointer>

#include <functional>

class DesktopNotifier : public NewMailNotifier
{
    Q_OBJECT
public:
    static constexpr char AppId[] = "io.github.quillbeacon.Quillbeacon";

    // `fallback` shows a title and a text another way; false when it cannot.
    // It is given the plain text.
    explicit DesktopNotifier(std::function<bool(const QString&, const QString&)> fallback,
                             QObject* parent = nullptr);

    void notify(const Notice& notice) override;

    // The id the service gave our last notice, 0 when none is open.
    quint32 openId() const { return m_openId; }

    // `text` as a body that is read as markup shows it: "&", "<" and ">" as
    // entities, nothing else changed.
    static QString markupEscaped(const QString& text);

private slots:
    void onActionInvoked(quint32 id, const QString& action);
    void onClosed(quint32 id, quint32 reason);
    void onOwnerChanged();

private:
    // What the service does with markup in a body, as far as it is known.
    enum class Markup { Unknown, Asking, Rendered, Literal };

    void listen();
    void askCapabilities();
    void send(const Notice& notice, bool escape);
    void fallBack(const Notice& notice);

    std::function<bool(const QString&, const QString&)> m_fallback;
    quint32 m_openId = 0;
    bool m_listening = false;
    Markup m_markup = Markup::Unknown;
    int m_asked = 0;         // questions put; an answer to an older one is stale
    QList<Notice> m_waiting; // notices held until the service has said
};
