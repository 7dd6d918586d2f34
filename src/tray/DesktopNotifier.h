#pragma once
// Notices through the freedesktop notification service
// (org.freedesktop.Notifications on the session bus): each new one replaces
// the last of ours while that is still open, and its default action raises
// the mailbox window. Where no service answers, the tray icon's message
// stands in, if the notification area shows messages; otherwise nothing.

#include "autocheck/NewMailNotifier.h"

#include <QPointer>

#include <functional>

class DesktopNotifier : public NewMailNotifier
{
    Q_OBJECT
public:
    static constexpr char AppId[] = "io.github.quillbeacon.Quillbeacon";

    // `fallback` shows a title and a text another way; false when it cannot.
    explicit DesktopNotifier(std::function<bool(const QString&, const QString&)> fallback,
                             QObject* parent = nullptr);

    void notify(const Notice& notice) override;

    // The id the service gave our last notice, 0 when none is open.
    quint32 openId() const { return m_openId; }

private slots:
    void onActionInvoked(quint32 id, const QString& action);
    void onClosed(quint32 id, quint32 reason);

private:
    std::function<bool(const QString&, const QString&)> m_fallback;
    quint32 m_openId = 0;
    bool m_listening = false;
};
