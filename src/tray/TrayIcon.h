#pragma once
#include <QWidget>

// The notification-area icon control (placeholder: Start, Modify and Remove do
// nothing yet).
class TrayIcon : public QWidget
{
    Q_OBJECT
public:
    explicit TrayIcon(QWidget* parent = nullptr) : QWidget(parent) { setFixedSize(32, 32); }
    void Start() {}
    void Modify() {}
    void Remove() {}

signals:
    void MouseDown(qint16 Button, qint16 Shift, float X, float Y);
    void Click(qint16 Button, qint16 Shift, float X, float Y);
    void DblClick(qint16 Button, qint16 Shift, float X, float Y);
    void MouseMove(float X, float Y);
};
