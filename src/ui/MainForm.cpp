#include "ui/MainForm.h"

#include "core/Module1.h"
#include "core/ReleaseMemory.h"
#include "pop3/MessageStore.h"
#include "ui/AttachmentSave.h"
#include "ui/Controls.h"
#include "ui/Email.h"
#include "ui/PictureButton.h"
#include "ui/PlainText.h"
#include "ui/PopupPlacement.h"
#include "ui/SlideIn.h"
#include "ui/Twips.h"
#include "ui/ViewerBody.h"
#include "ui/frmSendMail.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

namespace
{

QLabel* cyanLabel(const QString& caption, QWidget* parent)
{
    auto* label = new QLabel(parent);
    PlainText::setText(label, caption);
    label->setAutoFillBackground(true);
    QPalette cyan = label->palette();
    cyan.setColor(QPalette::Window, QColor(128, 255, 255));
    label->setPalette(cyan);
    return label;
}

// "report.pdf (12 KB)".
QString nameAndSize(const Mime::Attachment& file)
{
    QString size;
    if (file.size < 1024)
        size = QStringLiteral("%1 bytes").arg(file.size);
    else if (file.size < 1024 * 1024)
        size = QStringLiteral("%1 KB").arg((file.size + 512) / 1024);
    else
        size = QStringLiteral("%1 MB").arg(double(file.size) / (1024 * 1024), 0, 'f', 1);
    return QStringLiteral("%1 (%2)").arg(PlainText::clipped(file.name), size);
}

} // namespace

MainForm::MainForm(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Form1"));
    Controls::makeWhitePopup(this);
    setAttribute(Qt::WA_DeleteOnClose);
    Twips::resizeClient(this, 3630, 2775);

    Command1 = new QPushButton(QStringLiteral("Reply"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Twips::place(Command1, 2880, 600, 615, 255);
    connect(Command1, &QPushButton::clicked, this, &MainForm::Command1_Click);

    Exit = Controls::make<PictureButton>(this, "Exit", 3240, 120, 225, 225);
    connect(Exit, &PictureButton::clicked, this, &MainForm::Exit_Click);

    txtSender = Controls::make<QLineEdit>(this, "txtSender", 720, 120, 2415, 285);

    txtMessage = new QPlainTextEdit(this);
    txtMessage->setObjectName(QStringLiteral("txtMessage"));
    txtMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Twips::place(txtMessage, 600, 960, 2895, 1695);

    Label7 = cyanLabel(QStringLiteral("Body"), this);
    Label7->setObjectName(QStringLiteral("Label7"));
    Twips::place(Label7, 120, 960, 420, 255);
    Label7->adjustSize();

    txtSubject = new QLabel(this);
    txtSubject->setObjectName(QStringLiteral("txtSubject"));
    PlainText::makePlain(txtSubject);
    Twips::place(txtSubject, 840, 600, 1935, 255);

    Label5 = cyanLabel(QStringLiteral("Subject"), this);
    Label5->setObjectName(QStringLiteral("Label5"));
    Twips::place(Label5, 120, 600, 600, 255);
    Label5->adjustSize();

    Label1 = cyanLabel(QStringLiteral("From"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Twips::place(Label1, 120, 120, 405, 255);
    Label1->adjustSize();

    lblAttachments = new QLabel(this);
    lblAttachments->setObjectName(QStringLiteral("lblAttachments"));
    PlainText::makePlain(lblAttachments);
    Twips::place(lblAttachments, 120, 2415, 2700, 255);
    lblAttachments->hide();
    lblAttachments->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lblAttachments, &QLabel::customContextMenuRequested, this,
            [this](const QPoint& at) { showFilesMenu(lblAttachments->mapToGlobal(at)); });

    cmdSave = new QPushButton(QStringLiteral("Save\u2026"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    Twips::place(cmdSave, 2880, 2415, 615, 255);
    cmdSave->hide();
    connect(cmdSave, &QPushButton::clicked, this, &MainForm::cmdSave_Click);

    // Beside the mailbox window, starting as low as it does.
    m_left = Email::instance().Left() - 3630;
    m_top = PopupPlacement::current().startTop;
    move(Twips::toPixels(m_left), Twips::toPixels(m_top));
}

void MainForm::setTop(float top)
{
    m_top = top;
    move(Twips::toPixels(m_left), Twips::toPixels(m_top));
}

void MainForm::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    const auto line = [&](double x1, double y1, double x2, double y2, int width) {
        Controls::drawLine(painter, x1, y1, x2, y2, width);
    };
    line(2160, 120, 2280, 120, 1); // Line7
    line(0, 480, 3600, 480, 2);    // Line5, under the "From" row
    line(0, 2760, 3600, 2760, 5);  // Line4, bottom
    line(3600, 0, 3600, 2760, 5);  // Line3, right
    line(3600, 0, 0, 0, 5);        // Line2, top
    line(0, 2760, 0, 0, 5);        // Line1, left
}

void MainForm::Form_Load(int index)
{
    m_message = Module1::heldMessage(index);
    Mime::DisplayedMessage message = Module1::displayedMessage(m_message);
    txtSender->setText(PlainText::clipped(message.from));
    showSubject(PlainText::clipped(message.subject));
    m_files = message.attachments;
    QStringList names;
    for (const Mime::Attachment& file : message.attachments)
        names << nameAndSize(file);
    showAttachments(names);

    // The box gets the body once, already cut: a long attachment is never
    // laid out only to be dropped.
    m_body = ViewerBody::withoutAttachment(message.body);
    message.body.clear();
    QString shown = m_body;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    txtMessage->setPlainText(shown);

    Module1::SlideInViewer(*this);
}

void MainForm::showSubject(const QString& subject)
{
    // The label holds a few words: a longer subject ends in "…" and is read
    // from the tooltip (or by a screen reader).
    PlainText::setText(txtSubject, txtSubject->fontMetrics().elidedText(subject, Qt::ElideRight,
                                                                        txtSubject->width()));
    txtSubject->setToolTip(PlainText::toolTip(subject));
    txtSubject->setAccessibleDescription(subject);
}

void MainForm::showAttachments(const QStringList& names)
{
    const QString line = QStringLiteral("Attached: ") + names.join(QStringLiteral(", "));
    lblAttachments->setVisible(!names.isEmpty());
    // A message may name thousands of files: the line and its tooltip are
    // clipped as a name is.
    lblAttachments->setToolTip(
        PlainText::toolTip(PlainText::clipped(names.join(QLatin1Char('\n')))));
    PlainText::setText(lblAttachments,
                       lblAttachments->fontMetrics().elidedText(
                           PlainText::clipped(line), Qt::ElideRight, lblAttachments->width()));
    cmdSave->setVisible(!names.isEmpty());
    Twips::place(txtMessage, 600, 960, 2895, names.isEmpty() ? 1695 : 1425);
}

void MainForm::cmdSave_Click()
{
    if (m_files.size() == 1)
        saveFile(0);
    else
        showFilesMenu(cmdSave->mapToGlobal(QPoint(0, cmdSave->height())));
}

void MainForm::showFilesMenu(const QPoint& at)
{
    if (m_files.isEmpty())
        return;
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("mnuFiles"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (qsizetype i = 0; i < m_files.size(); ++i) {
        // A name from the message: no mnemonic, no line break, not too wide.
        QString name = nameAndSize(m_files[i]);
        for (QChar& c : name)
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                c = QChar::ReplacementCharacter;
        name = fontMetrics().elidedText(name, Qt::ElideMiddle, 400);
        name.replace(u'&', QLatin1String("&&"));
        menu->addAction(QStringLiteral("Save %1\u2026").arg(name), this,
                        [this, i] { saveFile(i); });
    }
    menu->popup(at);
}

void MainForm::saveFile(qsizetype file)
{
    if (file < 0 || file >= m_files.size())
        return;
    const Module1::HeldMessage message = m_message;
    AttachmentSave::offer(this, m_files[file].name,
                          [message, file] { return Module1::fileContent(message, file); });
}

void MainForm::Command1_Click()
{
    frmSendMail& sender = frmSendMail::instance();
    sender.show();
    sender.raise();
}

void MainForm::Exit_Click()
{
    close();
}

void SlideInViewerSteps(MainForm& viewer)
{
    const Email& email = Email::instance();
    viewer.m_slideSteps =
        SlideIn::stepUp([&] { return viewer.Top(); }, [&](float top) { viewer.setTop(top); },
                        [&] { return email.Top(); });
}

namespace Module1
{

QPointer<MainForm> Viewer;

void OpenViewer()
{
    const int row = Email::instance().lstMessages->currentRow();
    if (row < 0 || row >= MessageTableSize)
        return;
    auto* viewer = new MainForm();
    Viewer = viewer;
    // Once the viewer and its text are gone (some of it is deleted later
    // than the window), their memory goes back to the system, not only to
    // the C library.
    QObject::connect(viewer, &QObject::destroyed, qApp,
                     [] { QTimer::singleShot(200, qApp, &Memory::releaseFreed); });
    viewer->Form_Load(row);
}

void SlideInViewer(MainForm& viewer)
{
    // The viewer is hidden while it moves: only its final place is seen.
    SlideInViewerSteps(viewer);
    viewer.setTop(Email::instance().Top());
    viewer.show();
    viewer.raise();
}

} // namespace Module1
