#pragma once
// On a Wayland session the program runs on the X11 platform plugin
// (XWayland): Wayland lets no client place its own windows, and the mailbox
// and viewer popups must sit exactly where they slide to. Called before the
// QApplication exists.

#include <QByteArray>

namespace SessionPlatform
{

struct Environment {
    QByteArray qpaPlatform;    // QT_QPA_PLATFORM
    QByteArray waylandDisplay; // WAYLAND_DISPLAY
    QByteArray sessionType;    // XDG_SESSION_TYPE
    QByteArray display;        // DISPLAY
};

// The platform plugin to use, or empty to leave the choice to Qt. A plugin
// the user named is kept; without XWayland (no DISPLAY) Wayland stays.
QByteArray forcedPlatform(const Environment& environment);

// Reads the environment and sets QT_QPA_PLATFORM where needed.
void apply();

} // namespace SessionPlatform
