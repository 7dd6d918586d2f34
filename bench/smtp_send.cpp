// A mail with an attachment through the local Postfix: one send through the
// sender window, from the click on "&Send" to "Message has been sent", the
// encoding of the file included, with the peak memory of the process. The
// same message as a file, for msmtp to send in the same run.
//
//   smtp_send send HOST ATTACHMENT        HOST as typed into the window;
//                                         prints seconds=, peak_rss_mb=
//   smtp_send message ATTACHMENT FILE     writes the message msmtp sends
#include "core/Module1.h"
#include "smtp/modUUCode.h"
#include "ui/frmSendMail.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

namespace
{

double sendThroughWindow(const QString& host, const QString& path)
{
    frmSendMail& window = frmSendMail::instance();
    window.txtHost->setText(host);
    window.txtSender->setText(QStringLiteral("qbtest@localhost"));
    window.txtRecipient->setText(QStringLiteral("qbtest@localhost"));
    window.txtSubject->setText(QStringLiteral("bench"));
    window.txtMessage->setPlainText(QStringLiteral("bench text"));
    window.txtAttachment->setText(path);
    QElapsedTimer clock;
    double seconds = -1;
    QString said;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seconds = clock.nsecsElapsed() / 1e9;
            said = box->text();
            box->accept();
        }
    });
    poll.start(1);
    clock.start();
    window.cmdSend_Click();
    while (seconds < 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (said != QLatin1String("Message has been sent")) {
        std::fprintf(stderr, "window: %s\n", qPrintable(said));
        return -1;
    }
    return seconds;
}

double peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QByteArray mode = argc == 4 ? argv[1] : "";
    const QString path = argc == 4 ? QString::fromLocal8Bit(argv[3]) : QString();
    if (mode == "message") {
        // What the window sends, as a message file for msmtp, which turns the
        // LF line ends into CR LF and doubles leading dots itself.
        QFile file(QString::fromLocal8Bit(argv[2]));
        QFile out(path);
        if (!file.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
            return 1;
        out.write("Subject:bench\n\nbench text\n\n" +
                  modUUCode::uuencode(file.readAll(), QStringLiteral("attachment.bin")) + "\n");
        return out.error() == QFile::NoError ? 0 : 1;
    }
    if (mode != "send") {
        std::fprintf(stderr, "usage: smtp_send send HOST ATTACHMENT\n"
                             "       smtp_send message ATTACHMENT MESSAGE_FILE\n");
        return 2;
    }
    // The account of Options, for the servers that ask for AUTH.
    Module1::UserName = QStringLiteral("qbtest");
    Module1::MailPassword = QStringLiteral("qbpass");
    const double before = peakRssMb();
    const double seconds = sendThroughWindow(QString::fromLocal8Bit(argv[2]), path);
    if (seconds < 0)
        return 1;
    std::printf("seconds=%.3f\npeak_rss_mb=%.1f\nrss_before_mb=%.1f\n", seconds, peakRssMb(),
                before);
    return 0;
}
