#include "ui/Options.h"

#include "core/DebugLogFile.h"
#include "core/Module1.h"
#include "core/PasswordScrambler.h"
#include "core/PreferencesRecord.h"
#include "core/SettingsStore.h"
#include "pop3/Pop3Session.h"
#include "tray/AppIcon.h"
#include "tray/NoTrayNotice.h"
#include "tray/TrayIcon.h"
#include "ui/CheckBand.h"
#include "ui/Controls.h"
#include "ui/DebugA.h"
#include "ui/PlainText.h"
#include "ui/Pop3Commands.h"
#include "ui/Twips.h"
#include "ui/frmSendMail.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>

#include <limits>

Options::Options()
{
    setObjectName(QStringLiteral("Options"));
    setWindowTitle(QStringLiteral("Options"));
    auto* client = new QWidget(this);
    setCentralWidget(client);
    buildControls(client);
    buildMenu();
    const QSize clientSize = Twips::rect(0, 0, 3465, CheckBand::ClientHeight).size();
    client->setMinimumSize(clientSize);
    resize(clientSize.width(), clientSize.height() + menuBar()->sizeHint().height());
    client->setMinimumSize(0, 0);
}

void Options::buildControls(QWidget* client)
{
    Label1 = Controls::label(client, "Label1", QStringLiteral("Incoming Mail Server"), 120, 120,
                             1575, 255);
    Server = Controls::make<QLineEdit>(client, "Server", 120, 480, 3135, 285);
    Label5 = Controls::label(client, "Label5", QStringLiteral("Username"), 120, 840, 1575, 255);
    Label4 = Controls::label(client, "Label4", QStringLiteral("Default Port is 110"), 1920, 840,
                             1335, 255);
    Username = Controls::make<QLineEdit>(client, "Username", 120, 1200, 3135, 285);
    Label2 = Controls::label(client, "Label2", QStringLiteral("Password"), 120, 1560, 1575, 255);
    Password = Controls::make<QLineEdit>(client, "Password", 120, 1920, 3135, 285);
    // OK puts the scrambled form, up to three times the password's length,
    // through this box: the default limit of 32767 would cut it off.
    Password->setMaxLength(std::numeric_limits<int>::max());
    Label3 = Controls::label(client, "Label3", QStringLiteral("Outgoing Mail Server"), 120, 2280,
                             1935, 255);
    ServerB = Controls::make<QLineEdit>(client, "ServerB", 120, 2640, 3135, 285);
    chkSplash = Controls::make<QCheckBox>(client, "chkSplash", 480, 3120, 2535, 495);
    chkSplash->setText(QStringLiteral("Show Splash Screen At Startup"));
    chkDebug = Controls::make<QCheckBox>(client, "chkDebug", 480, 3720, 2535, 495);
    chkDebug->setText(QStringLiteral("Show Debug Form"));
    TrayIcon1 = new TrayIcon(client);
    TrayIcon1->setObjectName(QStringLiteral("TrayIcon1"));
    TrayIcon1->move(Twips::toPixels(2640), Twips::toPixels(3840));
    TrayIcon1->setIcon(AppIcon::icon());
    TrayIcon1->setToolTip(QStringLiteral("Quillbeacon"));
    cmdOK = Controls::make<QPushButton>(client, "cmdOK", 1080, 4560, 1215, 495);
    cmdOK->setText(QStringLiteral("&OK"));

    // Keyboard focus follows the tab indices: chkSplash 0, Server 2,
    // Password 4, ServerB 7, cmdOK 8, Username 10, chkDebug 11.
    Controls::setFocusOrder({chkSplash, Server, Password, ServerB, cmdOK, Username, chkDebug});
    CheckBand::build(*this, client);

    connect(cmdOK, &QPushButton::clicked, this, &Options::cmdOK_Click);
    connect(TrayIcon1, &TrayIcon::Click, this, &Options::TrayIcon1_Click);
    // Without a notification area this window is the way to the commands
    // (start-up shows it, directly or after the splash), and closing it ends
    // the program.
    connect(TrayIcon1, &TrayIcon::NotificationAreaMissing, this, [this] {
        setCloseEndsProgram(true);
        NoTrayNotice::show(this);
    });
}

void Options::buildMenu()
{
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    auto item = [this](const char* name, const QString& caption, void (Options::*handler)()) {
        QAction* action = mnuFile->addAction(caption);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    auto separator = [this](const char* name) {
        QAction* action = mnuFile->addSeparator();
        action->setObjectName(QLatin1String(name));
        return action;
    };
    mnuConnect = item("mnuConnect", QStringLiteral("&Connect"), &Options::mnuConnect_Click);
    mnusep2 = separator("mnusep2");
    mnuOptions = item("mnuOptions", QStringLiteral("&Options"), &Options::mnuOptions_Click);
    mnuWrite = item("mnuWrite", QStringLiteral("&Write Email"), &Options::mnuWrite_Click);
    mnuDel = item("mnuDel", QStringLiteral("&Delete All Mail"), &Options::mnuDel_Click);
    mnusepA = separator("mnusepA");
    mnuExit = item("mnuExit", QStringLiteral("&Exit"), &Options::mnuExit_Click);
}

void Options::Encrypt()
{
    Password->setText(PasswordScrambler::storedForm(Password->text()));
}

void Options::cmdOK_Click()
{
    // The record has no escaping: a comma in these fields would shift the
    // fields after it when the record is read back.
    if (Server->text().contains(QLatin1Char(',')) || Username->text().contains(QLatin1Char(','))) {
        PlainText::warning(this, QStringLiteral("Options"),
                           QStringLiteral("The incoming mail server and the user name cannot "
                                          "contain a comma. Nothing was saved."));
        return;
    }
    // A line break would end the command to the mail server early and send
    // the rest as a command of its own.
    if (!Pop3Session::accountProblem(Username->text(), Password->text()).isEmpty()) {
        PlainText::warning(this, QStringLiteral("Options"),
                           QStringLiteral("The user name and the password cannot contain a "
                                          "line break. Nothing was saved."));
        return;
    }
    SettingsStore store = SettingsStore::forThisProgram();
    const QString plain = Password->text();
    Module1::MailPassword = plain;
    Encrypt();
    const QString record =
        PreferencesRecord::join(Server->text(), Username->text(), Password->text());
    const bool saved =
        store.SaveSettings({{QStringLiteral("Preferences"), QStringLiteral("All")},
                            {QStringLiteral("Splash"), QStringLiteral("OnOff")}},
                           {record, QString::number(chkSplash->isChecked() ? 1 : 0)});
    // The box shows the password as typed again, so a second OK does not
    // scramble the scrambled text.
    Password->setText(plain);
    if (!saved) {
        PlainText::warning(this, QStringLiteral("Options"),
                           store.errorString() +
                               QStringLiteral(" The settings are kept for this session only."));
    }
    // Without a notification area nothing could bring a hidden window back:
    // it goes to the task bar instead, its File menu a click away.
    if (m_closeEndsProgram)
        showMinimized();
    else
        hide();
    Module1::MailServer = Server->text();
    Module1::SmtpServer = ServerB->text();
    Module1::UserName = Username->text();
    if (chkDebug->isChecked())
        DebugA::instance().show();
    CheckBand::save(*this);
}

void Options::mnuConnect_Click()
{
    Module1::ConnectRetrieve();
}

void Options::mnuOptions_Click()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
}

void Options::mnuWrite_Click()
{
    frmSendMail::instance().show();
    frmSendMail::instance().raise();
}

void Options::mnuDel_Click()
{
    Module1::ConnectMailbox();
}

void Options::mnuExit_Click()
{
    Module1::SaveDebugLogAndExit();
}

void Options::TrayIcon1_Click(qint16, qint16, float, float)
{
    mnuFile->popup(QCursor::pos());
}

void Options::closeEvent(QCloseEvent* event)
{
    event->ignore();
    if (m_closeEndsProgram)
        Module1::SaveDebugLogAndExit();
    else
        hide();
}
