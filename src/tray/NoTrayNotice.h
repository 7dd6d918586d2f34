#pragma once
// The one message shown when the desktop has no notification area.

#include <QString>

class QWidget;

namespace NoTrayNotice
{

QString text();

// Shows the message beside the given window without waiting for an answer.
void show(QWidget* parent);

} // namespace NoTrayNotice
