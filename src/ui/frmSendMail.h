#pragma once
#include "core/DefaultInstance.h"

#include <QWidget>

// The mail composer (placeholder until the SMTP sender exists).
class frmSendMail : public QWidget
{
    Q_OBJECT
public:
    static frmSendMail& instance() { return DefaultInstance<frmSendMail>::get(); }
    frmSendMail() { setWindowTitle(QStringLiteral("Quillbeacon")); }
};
