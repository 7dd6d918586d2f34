#pragma once
// The mail sender: host, sender, recipient, subject, one attached file and the
// text; "&Send" runs an SMTP dialogue on the window's own socket and reports
// the end in a message box. One shared instance serves the tray's "&Write
// Email" and every viewer's "Reply". Closing it by its close box unloads it:
// the next showing starts with fresh fields.

#include "core/DefaultInstance.h"
#include "smtp/SmtpDialogue.h"

#include <QAbstractSocket>
#include <QWidget>

class QFileDialog;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTcpSocket;
class QTimer;

class frmSendMail : public QWidget
{
    Q_OBJECT
public:
    static frmSendMail& instance() { return DefaultInstance<frmSendMail>::get(); }

    frmSendMail();

    // SMTP's port. Tests point the window at a fake server through this.
    static constexpr quint16 DefaultPort = 25;
    static void setPortForTests(quint16 port) { s_port = port; }
    // How long a running send waits for the server's next reply.
    static constexpr int DefaultReplyTimeoutMs = 60000;
    static void setReplyTimeoutForTests(int ms) { s_replyTimeoutMs = ms; }

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
    QTcpSocket* smtp = nullptr;
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
    void smtp_DataArrival();
    void smtp_Error(qint16 Number, const QString& Description);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void react(const SmtpDialogue::Reaction& reaction);
    void replyTimer_Timer();
    void showSent();
    void showFailure(const QString& reply);
    void showRefusal(const QString& text);

    SmtpDialogue m_dialogue;
    QTimer* m_replyTimer = nullptr;
    QString m_dialogFileName; // the dialog's last chosen path; a cancel keeps it
    bool m_centred = false;

    static inline quint16 s_port = DefaultPort;
    static inline int s_replyTimeoutMs = DefaultReplyTimeoutMs;
};
