#pragma once
// The mail sender: host, sender, recipient, subject, one attached file and the
// text; "&Send" hands the mail to the window's SMTP client `smtp` and reports
// the end in a message box. One shared instance serves the tray's "&Write
// Email" and every viewer's "Reply". Closing it by its close box unloads it:
// the next showing starts with fresh fields.

#include "core/DefaultInstance.h"
#include "smtp/SmtpClient.h"

#include <QWidget>

class QFileDialog;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class frmSendMail : public QWidget
{
    Q_OBJECT
public:
    static frmSendMail& instance() { return DefaultInstance<frmSendMail>::get(); }

    frmSendMail();

    QLineEdit* txtSender = nullptr;
    QLineEdit* txtHost = nullptr;
    QFileDialog* dialog = nullptr;
    QPushButton* cmdSend = nullptr;
    QPushButton* cmdClear = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QLineEdit* txtAttachment = nullptr;
    QPlainTextEdit* txtMessage = nullptr;
    QLineEdit* txtRecipient = nullptr;
    QLineEdit* txtSubject = nullptr;
    SmtpClient* smtp = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;

    void Form_Load();
    void cmdBrowse_Click();
    void cmdClear_Click();
    void cmdSend_Click();
    void smtp_Error(int Number, const QString& Description, const QString& plain = QString());

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void showSent();
    void showFailure(const QString& reply, const QString& plain = QString());
    void showRefusal(const QString& text);

    QString m_dialogFileName; // the dialog's last chosen path; a cancel keeps it
    bool m_centred = false;
};
