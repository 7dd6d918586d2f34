#include "ui/frmSendMail.h"

#include "core/Module1.h"
#include "smtp/modUUCode.h"
#include "ui/BoxText.h"
#include "ui/CertificatePrompt.h"
#include "ui/Controls.h"
#include "ui/PlainText.h"
#include "ui/Twips.h"
#include "ui/UnencryptedPrompt.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace
{

const QString ProgramTitle = QStringLiteral("Quillbeacon");

// An auto-sizing label: the design size is what the text needed there, so
// the label follows its text in whatever font this machine has.
QLabel* makeAutoSizeLabel(QWidget* parent, const char* name, const QString& caption, double left,
                          double top, double width, double height)
{
    QLabel* label = Controls::label(parent, name, caption, left, top, width, height);
    label->adjustSize();
    return label;
}

// A closed envelope: the window's own icon.
QIcon envelopeIcon()
{
    QPixmap picture(32, 32);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 96, 96), 2));
    painter.setBrush(QColor(255, 255, 224));
    painter.drawRect(QRectF(2, 7, 28, 18));
    painter.drawPolyline(QPolygonF({QPointF(2, 7), QPointF(16, 18), QPointF(30, 7)}));
    return QIcon(picture);
}

} // namespace

frmSendMail::frmSendMail()
{
    setObjectName(QStringLiteral("frmSendMail"));
    setWindowTitle(ProgramTitle);
    setWindowIcon(envelopeIcon());
    buildControls();
    setFixedSize(Twips::rect(0, 0, 11535, 6420).size());
    Form_Load();
}

void frmSendMail::buildControls()
{
    txtSender = Controls::make<QLineEdit>(this, "txtSender", 1920, 1200, 3015, 285);
    txtHost = Controls::make<QLineEdit>(this, "txtHost", 1920, 840, 3015, 285);
    // "*.*" matches every name only where a name always has a dot; here it
    // would hide "Makefile" or "notes", so all files means "*".
    dialog = new QFileDialog(this, QStringLiteral("open file"), QString(),
                             QStringLiteral("All files (*)"));
    dialog->setObjectName(QStringLiteral("dialog"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    cmdSend = Controls::make<QPushButton>(this, "cmdSend", 10320, 5880, 845, 495);
    cmdSend->setText(QStringLiteral("&Send"));
    cmdClear = Controls::make<QPushButton>(this, "cmdClear", 9480, 5880, 845, 495);
    cmdClear->setText(QStringLiteral("Clear"));
    cmdBrowse = Controls::make<QPushButton>(this, "cmdBrowse", 5040, 2280, 375, 255);
    cmdBrowse->setText(QStringLiteral("..."));
    txtAttachment = Controls::make<QLineEdit>(this, "txtAttachment", 1920, 2280, 3015, 285);
    txtMessage = Controls::make<QPlainTextEdit>(this, "txtMessage", 360, 2640, 10815, 3135);
    txtMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtMessage->setTabChangesFocus(true);
    txtRecipient = Controls::make<QLineEdit>(this, "txtRecipient", 1920, 1560, 3015, 285);
    txtSubject = Controls::make<QLineEdit>(this, "txtSubject", 1920, 1920, 3015, 285);
    smtp = new SmtpClient(this);
    smtp->setObjectName(QStringLiteral("smtp"));
    CertificatePrompt::attach(smtp->connection());
    smtp->setConsentPrompt(UnencryptedPrompt::ask);
    Label7 = Controls::label(this, "Label7", QStringLiteral("Reply to"), 720, 1200, 975, 255);
    Label6 = Controls::label(this, "Label6", QStringLiteral("Host"), 720, 840, 975, 255);
    Label2 = Controls::label(this, "Label2", QStringLiteral("Send Mails"), 120, 120, 4215, 375);
    Label1 = Controls::label(this, "Label1", QString(), 0, 0, 11535, 735);
    Label5 = makeAutoSizeLabel(this, "Label5", QStringLiteral("Attachment:"), 840, 2280, 855, 195);
    Label3 = makeAutoSizeLabel(this, "Label3", QStringLiteral("Mail To"), 1200, 1560, 525, 195);
    Label4 = makeAutoSizeLabel(this, "Label4", QStringLiteral("Subject:"), 1185, 1920, 585, 195);

    // The band at the top and the title on it stand on the colour of
    // title-bar text; the title itself is teal.
    const QColor band = palette().color(QPalette::Active, QPalette::HighlightedText);
    for (QLabel* label : {Label1, Label2}) {
        label->setAutoFillBackground(true);
        QPalette colours = label->palette();
        colours.setColor(QPalette::Window, band);
        label->setPalette(colours);
    }
    QPalette titleColours = Label2->palette();
    titleColours.setColor(QPalette::WindowText, QColor(0, 192, 192));
    Label2->setPalette(titleColours);
    QFont titleFont = Label2->font();
    titleFont.setFamilies({QStringLiteral("Palatino Linotype"), QStringLiteral("Palatino"),
                           QStringLiteral("P052"), QStringLiteral("serif")});
    titleFont.setPointSizeF(15.75);
    titleFont.setBold(true);
    Label2->setFont(titleFont);
    Label2->raise(); // the band was made after the title but lies under it

    Controls::setFocusOrder({txtHost, txtSender, txtRecipient, txtSubject, txtAttachment,
                             txtMessage, cmdBrowse, cmdClear, cmdSend});

    // Enter in a one-line field moves on, as a Tab would; in the message
    // text it starts a new line.
    for (QLineEdit* field : {txtHost, txtSender, txtRecipient, txtSubject, txtAttachment})
        connect(field, &QLineEdit::returnPressed, this, [this] { focusNextChild(); });

    connect(cmdBrowse, &QPushButton::clicked, this, &frmSendMail::cmdBrowse_Click);
    connect(cmdClear, &QPushButton::clicked, this, &frmSendMail::cmdClear_Click);
    connect(cmdSend, &QPushButton::clicked, this, &frmSendMail::cmdSend_Click);
    connect(smtp, &SmtpClient::sent, this, &frmSendMail::showSent);
    connect(smtp, &SmtpClient::failed, this, &frmSendMail::showFailure);
    connect(smtp, &SmtpClient::socketError, this, &frmSendMail::smtp_Error);
    connect(smtp, &SmtpClient::refused, this, &frmSendMail::showRefusal);
}

void frmSendMail::Form_Load()
{
    txtHost->setText(Module1::SmtpServer);
}

void frmSendMail::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_centred)
        return;
    m_centred = true;
    if (const QScreen* place = screen() ? screen() : QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(place->availableGeometry().center());
        move(frame.topLeft());
    }
}

void frmSendMail::closeEvent(QCloseEvent* event)
{
    // Unload: the socket and the fields go with this window; the next
    // showing makes a fresh one.
    smtp->connection().end();
    event->accept();
    if (DefaultInstance<frmSendMail>::exists() && &DefaultInstance<frmSendMail>::get() == this)
        DefaultInstance<frmSendMail>::release();
}

void frmSendMail::cmdBrowse_Click()
{
    // A cancel leaves the previous choice in the dialog, and that is what
    // the field shows then.
    if (dialog->exec() == QDialog::Accepted)
        m_dialogFileName = dialog->selectedFiles().value(0);
    txtAttachment->setText(m_dialogFileName);
}

void frmSendMail::cmdClear_Click()
{
    for (QLineEdit* field : {txtHost, txtSender, txtRecipient, txtSubject, txtAttachment})
        field->clear();
    txtMessage->clear();
}

void frmSendMail::cmdSend_Click()
{
    const QString problem = SmtpDialogue::fieldProblem(txtHost->text(), txtSender->text(),
                                                       txtRecipient->text(), txtSubject->text());
    if (!problem.isEmpty()) {
        showRefusal(problem);
        return;
    }
    if (!txtAttachment->text().isEmpty()) {
        QString why;
        std::optional<QByteArray> block = modUUCode::UUEncodeFile(txtAttachment->text(), &why);
        if (!block) {
            showRefusal(why + QStringLiteral(" Nothing was sent."));
            return;
        }
        Module1::EncodedAttachment = std::move(*block);
    } else {
        Module1::EncodedAttachment.clear();
    }

    smtp->send(txtHost->text(),
               {txtSender->text(), txtRecipient->text(), txtSubject->text(),
                txtMessage->toPlainText(), Module1::EncodedAttachment},
               {Module1::UserName, Module1::MailPassword});
}

void frmSendMail::smtp_Error(int Number, const QString& Description, const QString& plain)
{
    QMessageBox box(QMessageBox::Warning, ProgramTitle, QString(), QMessageBox::Ok, this);
    PlainText::setText(box, QStringLiteral("Winsock Error number ") + QString::number(Number) +
                                QStringLiteral("\r\n") + BoxText::clipped(Description));
    BoxText::setReason(box, plain);
    box.exec();
}

void frmSendMail::showSent()
{
    QMessageBox box(QMessageBox::NoIcon, ProgramTitle, QString(), QMessageBox::Ok, this);
    PlainText::setText(box, QStringLiteral("Message has been sent"));
    box.exec();
}

void frmSendMail::showFailure(const QString& reply, const QString& plain)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), QString(), QMessageBox::Ok,
                    this);
    PlainText::setText(box, QStringLiteral("Error: ") + BoxText::clipped(reply));
    BoxText::setReason(box, plain);
    box.exec();
}

void frmSendMail::showRefusal(const QString& text)
{
    PlainText::warning(this, ProgramTitle, BoxText::clipped(text));
}
