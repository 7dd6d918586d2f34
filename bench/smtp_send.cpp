// A mail with a 10 MB attachment through the local Postfix: the sender window
// (from the click on "&Send" to "Message has been sent", the encoding of the
// file included) against msmtp sending the same encoded message, alternating,
// in the same run.
//
//   smtp_send MAILDIR [MB=10] [repeats=5]      (run by smtp_send.sh)

#include "smtp/modUUCode.h"
#include "ui/frmSendMail.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{

int delivered(const QString& maildir)
{
    return QDir(maildir + QStringLiteral("/new")).entryList(QDir::Files).size() +
           QDir(maildir + QStringLiteral("/cur")).entryList(QDir::Files).size();
}

// Lets Postfix finish writing the last mail before the next run starts.
bool waitForDelivery(const QString& maildir, int count)
{
    QElapsedTimer clock;
    clock.start();
    while (delivered(maildir) < count) {
        if (clock.elapsed() > 60000)
            return false;
        QThread::msleep(20);
    }
    return true;
}

double sendThroughWindow(const QString& path)
{
    frmSendMail& window = frmSendMail::instance();
    window.txtHost->setText(QStringLiteral("127.0.0.1"));
    window.txtSender->setText(QStringLiteral("me@example.test"));
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

// msmtp reads the message from a file, as it would from a shell redirection.
double sendWithMsmtp(const QString& messageFile)
{
    QElapsedTimer clock;
    clock.start();
    QProcess msmtp;
    msmtp.setStandardInputFile(messageFile);
    msmtp.start(QStringLiteral("msmtp"),
                {"--host=127.0.0.1", "--port=25", "--auth=off", "--tls=off",
                 "--from=me@example.test", "--", "qbtest@localhost"});
    msmtp.waitForFinished(120000);
    if (msmtp.exitCode() != 0) {
        std::fprintf(stderr, "msmtp: %s\n", msmtp.readAllStandardError().constData());
        return -1;
    }
    return clock.nsecsElapsed() / 1e9;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: smtp_send MAILDIR [MB] [repeats]\n");
        return 2;
    }
    const QString maildir = QString::fromLocal8Bit(argv[1]);
    const qint64 size = (argc > 2 ? QByteArray(argv[2]).toLongLong() : 10) * 1024 * 1024;
    const int repeats = argc > 3 ? QByteArray(argv[3]).toInt() : 5;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("attachment.bin"));
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(bytes.data()),
                                          bytes.size() / 4);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != size)
        return 1;
    file.close();
    // What the window sends, as a message file: msmtp turns the LF line ends
    // into CR LF and doubles leading dots itself.
    const QByteArray message = "Subject:bench\n\nbench text\n\n" +
                               modUUCode::uuencode(bytes, QStringLiteral("attachment.bin")) + "\n";

    const QString messageFile = dir.filePath(QStringLiteral("message.eml"));
    QFile eml(messageFile);
    if (!eml.open(QIODevice::WriteOnly) || eml.write(message) != message.size())
        return 1;
    eml.close();

    std::vector<double> window, msmtp;
    int count = delivered(maildir);
    for (int i = 0; i < repeats; ++i) {
        const double a = sendThroughWindow(path);
        if (a < 0 || !waitForDelivery(maildir, ++count))
            return 1;
        const double b = sendWithMsmtp(messageFile);
        if (b < 0 || !waitForDelivery(maildir, ++count))
            return 1;
        window.push_back(a);
        msmtp.push_back(b);
    }
    std::printf("attachment %lld bytes, message %lld bytes, %d runs each (median)\n",
                static_cast<long long>(size), static_cast<long long>(message.size()), repeats);
    std::printf("frmSendMail  %.3f s (encoding included)\n", median(window));
    std::printf("msmtp        %.3f s\n", median(msmtp));
    std::printf("ratio        %.2f (limit 1.2)\n", median(window) / median(msmtp));
    return 0;
}
