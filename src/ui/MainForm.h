#pragma once
#include <QWidget>

// The message viewer (placeholder until the mailbox window exists).
class MainForm : public QWidget
{
    Q_OBJECT
public:
    explicit MainForm(QWidget* parent = nullptr) : QWidget(parent) {}
};
