#pragma once
// The record that describes the program's icon to the notification area: the
// first, 88-byte version of the layout, with a single-byte tip field of 64
// characters. The tray icon control keeps one by value for its whole life.

#include <QIcon>
#include <QString>

#include <array>

class QWidget;

struct NotifyIconData {
    static constexpr quint32 NIF_MESSAGE = 1;
    static constexpr quint32 NIF_ICON = 2;
    static constexpr quint32 NIF_TIP = 4;
    static constexpr int TipSize = 64;

    quint32 cbSize = 0;
    // The call-back window: pointer activity over the icon is reported to it.
    const QWidget* hWnd = nullptr;
    quint32 uID = 0;
    quint32 uFlags = 0;
    quint32 uCallbackMessage = 0;
    QIcon hIcon;
    std::array<char, TipSize> szTip{};

    // The tip text, then one NUL, then blanks up to the end of the field.
    // At most 63 characters fit; characters outside Latin-1 become '?'.
    static std::array<char, TipSize> tipField(const QString& toolTip);

    // The text up to the NUL, as the notification area shows it.
    QString tipText() const;
};
