#include "ui/Email.h"

#include "core/DebugLogFile.h"
#include "core/Log.h"
#include "core/Module1.h"
#include "core/Twips.h"
#include "pop3/MessageStore.h"
#include "ui/Controls.h"
#include "ui/MainForm.h"
#include "ui/PictureButton.h"
#include "ui/PopupPlacement.h"
#include "ui/SlideIn.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QTcpSocket>

namespace
{
quint16 s_port = Email::Pop3Port;
int s_idleTimeout = Email::IdleTimeoutMs;
} // namespace

void Email::setPortForTest(quint16 port)
{
    s_port = port;
}

void Email::setIdleTimeoutForTest(int ms)
{
    s_idleTimeout = ms;
}

Email::Email()
{
    setObjectName(QStringLiteral("Email"));
    setWindowTitle(QStringLiteral("Bramblewickhold"));
    Controls::makeWhitePopup(this);
    Twips::resizeClient(this, 3150, 2670);

    Label6 = new QLabel(QStringLiteral("Bramblewickhold"), this);
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

    pop3 = new QTcpSocket(this);
    pop3->setObjectName(QStringLiteral("pop3"));
    connect(pop3, &QTcpSocket::readyRead, this, &Email::pop3_DataArrival);
    connect(pop3, &QTcpSocket::errorOccurred, this, &Email::pop3_Error);

    m_idle.setSingleShot(true);
    connect(&m_idle, &QTimer::timeout, this, &Email::idleTimeout);

    const PopupPlacement::Geometry place = PopupPlacement::current();
    m_left = place.mailboxLeft;
    m_top = place.startTop;
    move(Twips::toPixels(m_left), Twips::toPixels(m_top));
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
    endSession();
    pop3->abort();
    // Each session numbers its messages from index 0: the list starts empty
    // so that row i and table index i stay the same message.
    lstMessages->clear();

    if (Module1::MailServer.trimmed().isEmpty()) {
        Module1::Log(QStringLiteral("POP3 Error: no incoming mail server is set."));
        QMessageBox box(QMessageBox::Information, QStringLiteral("Quillbeacon"),
                        QStringLiteral("No incoming mail server is set. Enter it in Options "
                                       "and press OK, then try again."),
                        QMessageBox::Ok);
        box.exec();
        return;
    }

    m_session.start(mode, Module1::UserName, Module1::MailPassword);
    ++m_generation;
    m_idle.start(s_idleTimeout);
    pop3->connectToHost(Module1::MailServer.trimmed(), s_port);
}

void Email::endSession()
{
    ++m_generation;
    m_idle.stop();
}

void Email::pop3_DataArrival()
{
    const QByteArray D = pop3->readAll();
    if (D.isEmpty())
        return;
    Module1::LogBytes(D);
    if (!m_session.running())
        return;
    m_idle.start(s_idleTimeout);
    const Pop3Actions actions = m_session.receive(D);
    Module1::Pop3Step = m_session.step();
    runActions(actions);
}

void Email::runActions(const Pop3Actions& actions)
{
    const int generation = m_generation;
    for (const Pop3Action& action : actions) {
        // A session restarted or failed while the DELE loop let events run.
        if (generation != m_generation)
            return;
        switch (action.kind) {
        case Pop3Action::Kind::Send:
            pop3->write(action.bytes);
            pop3->flush();
            if (action.yieldAfter)
                QCoreApplication::processEvents();
            break;
        case Pop3Action::Kind::Log:
            Module1::Log(action.text);
            break;
        case Pop3Action::Kind::Store:
            if (action.index >= 0 && action.index < Module1::MessageTableSize)
                lstMessages->addItem(Module1::storeRetrievedMessage(action.index, action.bytes));
            break;
        case Pop3Action::Kind::SlideIn:
            Module1::SlideInMailbox();
            break;
        case Pop3Action::Kind::Close:
            endSession();
            pop3->close();
            break;
        case Pop3Action::Kind::Fail:
            errorPath(action.bytes);
            break;
        }
    }
}

void Email::errorPath(const QByteArray& what)
{
    endSession();
    pop3->abort();
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Quillbeacon"),
                    QStringLiteral("Error Has Occured"), QMessageBox::Ok);
    box.exec();
    Module1::LogBytes("POP3 Error: " + what);
}

void Email::pop3_Error(QAbstractSocket::SocketError)
{
    // Data that came in just before the connection went is still a reply.
    if (pop3->bytesAvailable() > 0)
        pop3_DataArrival();
    runActions(m_session.connectionFailed(pop3->errorString()));
}

void Email::idleTimeout()
{
    runActions(m_session.connectionFailed(
        QStringLiteral("Connection timed out: no data from the server for %1 seconds.")
            .arg(s_idleTimeout / 1000.0)));
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
