#pragma once
// What a mouse message code from the notification area means to the tray
// icon control: which event it raises, with which button, and whether the
// control's window is brought to the foreground first.

#include <QtGlobal>

namespace TrayMessage
{

inline constexpr quint32 WM_MOUSEMOVE = 0x200;
inline constexpr quint32 WM_LBUTTONDOWN = 0x201;
inline constexpr quint32 WM_LBUTTONUP = 0x202;
inline constexpr quint32 WM_LBUTTONDBLCLK = 0x203;
inline constexpr quint32 WM_RBUTTONDOWN = 0x204;
inline constexpr quint32 WM_RBUTTONUP = 0x205;
inline constexpr quint32 WM_RBUTTONDBLCLK = 0x206;
inline constexpr quint32 WM_MBUTTONDOWN = 0x207;

enum class Event { None, MouseMove, MouseDown, Click, DblClick };

struct Meaning {
    Event event = Event::None;
    qint16 button = 0; // 1 left, 2 right; 0 where the event has none
    bool foreground = false;
};

Meaning decode(qint32 code);

} // namespace TrayMessage
