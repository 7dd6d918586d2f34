#include "tray/TrayMessage.h"

namespace TrayMessage
{

Meaning decode(qint32 code)
{
    switch (code) {
    case WM_MOUSEMOVE:
        return {Event::MouseMove, 0, true};
    case WM_LBUTTONDOWN:
        return {Event::MouseDown, 1, true};
    case WM_LBUTTONUP:
        return {Event::Click, 1, true};
    case WM_LBUTTONDBLCLK:
        return {Event::DblClick, 1, true};
    case WM_RBUTTONDOWN:
        return {Event::MouseDown, 2, true};
    case WM_RBUTTONUP:
        return {Event::Click, 2, true};
    case WM_RBUTTONDBLCLK:
        return {Event::DblClick, 2, true};
    default:
        return {};
    }
}

} // namespace TrayMessage
