#pragma once
// What the desktop's Secret Service (org.freedesktop.secrets: gnome-keyring,
// KeePassXC, recent KWallet) says of one of our items, asked without
// unlocking anything, so that no prompt ever comes of the question.
//
// The keyring library reports a read from a locked keyring whose unlock the
// user (or a desktop without a prompter) did not give as "no such entry",
// and a removal from a locked keyring as done while the item stays. This
// question tells those apart. Where there is no D-Bus (Windows), every
// answer is Unknown.

#include <QObject>
#include <QString>

#include <functional>

class SecretServiceState
{
public:
    enum class Service { Absent, Unknown, Answered };
    enum class Item { Missing, Unlocked, Locked };

    struct Answer {
        Answer() = default;
        explicit Answer(Service service) : service(service) {}

        Service service = Service::Unknown;
        Item item = Item::Missing;
        // Where a new item would go (the "default" collection) is locked.
        bool defaultLocked = false;
    };

    // The item that the keyring library files under `service` and `key`.
    // `done` runs once, later, on the event loop, unless `context` is gone.
    static void ask(const QString& service, const QString& key, QObject* context,
                    std::function<void(const Answer&)> done);
};
