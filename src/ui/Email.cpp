#include "ui/Email.h"

#include "core/DebugLogFile.h"
#include "core/Module1.h"
#include "ui/BoxText.h"
#include "ui/CertificatePrompt.h"
#include "ui/Controls.h"
#include "ui/MainForm.h"
#include "ui/PictureButton.h"
#include "ui/PlainText.h"
#include "ui/PopupPlacement.h"
#include "ui/SlideIn.h"
#include "ui/Twips.h"
#include "ui/UnencryptedPrompt.h"

#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>

Email::Email()
{
    setObjectName(QStringLiteral("Email"));
    setWindowTitle(QStringLiteral("Bramblewickhold"));
    Controls::makeWhitePopup(this);
    Twips::resizeClient(this, 3150, 2670);

    Label6 = new QLabel(this);
    PlainText::setText(Label6, QStringLiteral("Bramblewickhold"));
    Label6->setObjectName(QStringLiteral("Label6"));
    Label6->setAutoFillBackground(true);
    QPalette cyan = Label6->palette();
    cyan.setColor(QPalette::Window, QColor(128, 255, 255));
    Label6->setPalette(cyan);
    Twips::place(Label6, 120, 120, 1620, 255);
    Label6->adjustSize();

    Exit = Controls::make<PictureButton>(this, "Exit", 2760, 120, 225, 225);
    connect(Exit, &PictureButton::clicked, this, &Email::Exit_Click);

    lstMessages = Controls::make<QListWidget>(this, "lstMessages", 120, 600, 2775, 1230);
    connect(lstMessages, &QListWidget::itemDoubleClicked, this, &Email::lstMessages_DblClick);

    pop3 = new Pop3Client(this);
    pop3->setObjectName(QStringLiteral("pop3"));
    CertificatePrompt::attach(pop3->connection());
    pop3->setConsentPrompt(UnencryptedPrompt::ask);
    connect(pop3, &Pop3Client::messageStored, this,
            [this](int, const QString& subject) { addRow(subject); });
    connect(pop3, &Pop3Client::retrievalFinished, this, &Module1::SlideInMailbox);
    connect(pop3, &Pop3Client::failed, this, &Email::errorPath);
    connect(pop3, &Pop3Client::refused, this, &Email::refusal);

    const PopupPlacement::Geometry place = PopupPlacement::current();
    m_left = place.mailboxLeft;
    m_top = place.startTop;
    move(Twips::toPixels(m_left), Twips::toPixels(m_top));
}

QString Email::listRow(const QString& subject)
{
    // A list laid out rows of 100 KB for every step of the slide-in.
    QString row = PlainText::clipped(subject);
    // A control character (a NUL, say) would cut the row short or garble
    // it: it shows as a replacement character instead.
    for (QChar& c : row) {
        if (c.unicode() < 0x20 && c != QLatin1Char('\t'))
            c = QChar::ReplacementCharacter;
    }
    return row;
}

void Email::addRow(const QString& subject)
{
    // A long subject runs past the list's edge: the tooltip holds what the
    // row does.
    const QString shown = listRow(subject);
    auto* row = new QListWidgetItem(shown, lstMessages);
    row->setToolTip(PlainText::toolTip(shown));
}

void Email::setTop(float top)
{
    m_top = top;
    move(Twips::toPixels(m_left), Twips::toPixels(m_top));
    SlideIn::pushToScreen(this);
}

void Email::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    const auto line = [&](double x1, double y1, double x2, double y2, int width) {
        Controls::drawLine(painter, x1, y1, x2, y2, width);
    };
    line(0, 480, 3120, 480, 2);   // Line5, under the title
    line(0, 2760, 0, 0, 5);       // Line1, left
    line(3120, 0, 0, 0, 5);       // Line2, top
    line(3120, 0, 3120, 2760, 5); // Line3, right
    line(0, 2640, 3120, 2640, 5); // Line4, bottom
}

void Email::StartSession(Pop3Session::Mode mode)
{
    Module1::DeleteMode = mode == Pop3Session::Mode::Delete ? Module1::True : Module1::False;
    Module1::Pop3Step = Pop3Session::Greeting;
    // Each session numbers its messages from index 0: the list starts empty
    // so that row i and table index i stay the same message.
    lstMessages->clear();
    pop3->start(mode, Module1::MailServer, Module1::UserName, Module1::MailPassword);
}

void Email::errorPath(const QByteArray&, const QString& plain)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Quillbeacon"), QString(), QMessageBox::Ok);
    PlainText::setText(box, QStringLiteral("Error Has Occured"));
    BoxText::setReason(box, plain);
    box.exec();
}

void Email::refusal(const QString& text)
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("Quillbeacon"), QString(),
                    QMessageBox::Ok);
    PlainText::setText(box, BoxText::clipped(text));
    box.exec();
}

void Email::lstMessages_DblClick()
{
    Module1::OpenViewer();
}

void Email::Exit_Click()
{
    Module1::SaveDebugLogAndExit();
}

void Email::closeEvent(QCloseEvent* event)
{
    Module1::SaveDebugLogAndExit();
    event->accept();
}

namespace Module1
{

void SlideInMailbox()
{
    Email& email = Email::instance();
    email.show();
    email.raise();
    SlideIn::pushToScreen(&email);
    const float rest = PopupPlacement::current().mailboxRestTop;
    SlideIn::stepUp([&] { return email.Top(); }, [&](float top) { email.setTop(top); },
                    [rest] { return rest; });
    if (email.Top() < rest)
        email.setTop(rest);
}

} // namespace Module1
