// Retrieving MIME mail from the local Dovecot with and without the display
// work, and opening a viewer on it. The mailbox must hold the messages
// already: by default 51 messages of 1 MiB (a text part and a base64
// attachment) that this program writes with --write DIR for
// "scripts/mailhost add DIR/*".
//
//   QT_QPA_PLATFORM=offscreen mime_retrieve --write DIR [COUNT] [BYTES]
//   QT_QPA_PLATFORM=offscreen mime_retrieve [ROUNDS]
// Prints key=value lines: the median wall time of a session that only keeps
// each reply and of one that stores it in the message tables (header values
// and the decoded list row), their ratio, the slowest of the viewer
// openings, and the peak memory with the payload.
#include "core/Module1.h"
#include "pop3/MessageStore.h"
#include "pop3/Pop3Session.h"
#include "ui/Email.h"
#include "ui/MainForm.h"
#include "ui/SlideIn.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QListWidget>
#include <QRandomGenerator>
#include <QTcpSocket>

#include <algorithm>
#include <array>
#include <cstdio>
#include <sys/resource.h>

namespace
{

QByteArray mimeMessage(int number, qsizetype bytes)
{
    QByteArray data(bytes * 3 / 4 - 4096, Qt::Uninitialized);
    QRandomGenerator random{quint32(number)};
    random.fillRange(reinterpret_cast<quint32*>(data.data()), data.size() / 4);
    QByteArray base64;
    const QByteArray encoded = data.toBase64();
    for (qsizetype at = 0; at < encoded.size(); at += 76)
        base64 += encoded.mid(at, 76) + "\r\n";
    return "MIME-Version: 1.0\r\nFrom: =?UTF-8?Q?J=C3=B6rg_Bauer?= <jb@example.de>\r\n"
           "To: qbtest@localhost\r\nSubject: =?UTF-8?B?R3LDvMOfZSBhdXMgS8O2bG4=?= " +
           QByteArray::number(number) +
           "\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
           "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: "
           "quoted-printable\r\n\r\nAnbei die Zahlen f=C3=BCr M=C3=A4rz.\r\n--b\r\n"
           "Content-Type: application/octet-stream\r\nContent-Disposition: attachment; "
           "filename=\"data.bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
           base64 + "--b--\r\n";
}

double peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// One retrieve session through the program's dialogue; returns wall ms.
double session(bool display, qint64* payload)
{
    Pop3Session pop3;
    QTcpSocket socket;
    QEventLoop loop;
    QListWidget* list = Email::instance().lstMessages;
    list->clear();
    *payload = 0;
    std::array<QByteArray, Module1::MessageTableSize> kept;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] {
        for (const Pop3Action& action : pop3.receive(socket.readAll())) {
            if (action.kind == Pop3Action::Kind::Send) {
                socket.write(action.bytes);
            } else if (action.kind == Pop3Action::Kind::Store) {
                *payload += action.bytes.size();
                if (display)
                    list->addItem(Module1::storeRetrievedMessage(action.index, action.bytes,
                                                                 action.doubledDots));
                else
                    kept[action.index] = action.bytes;
            } else if (action.kind == Pop3Action::Kind::Close ||
                       action.kind == Pop3Action::Kind::Fail) {
                loop.quit();
            }
        }
    });
    QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    pop3.start(Pop3Session::Mode::Retrieve, QStringLiteral("qbtest"), QStringLiteral("qbpass"));
    socket.connectToHost(QStringLiteral("127.0.0.1"), 110);
    loop.exec();
    return clock.nsecsElapsed() / 1e6;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() > 2 && args[1] == QLatin1String("--write")) {
        const int count = args.size() > 3 ? args[3].toInt() : 51;
        const qsizetype bytes = args.size() > 4 ? args[4].toLongLong() : 1 << 20;
        QDir().mkpath(args[2]);
        for (int i = 1; i <= count; ++i) {
            QFile file(
                QDir(args[2]).filePath(QStringLiteral("m%1.eml").arg(i, 3, 10, QChar(u'0'))));
            if (!file.open(QIODevice::WriteOnly) || file.write(mimeMessage(i, bytes)) < 0)
                return 1;
        }
        return 0;
    }
    const int rounds = args.size() > 1 ? args[1].toInt() : 5;
    SlideIn::setPauseForTest(0);
    Email::instance();

    QList<double> before, after;
    qint64 payload = 0;
    for (int round = 0; round < rounds; ++round) {
        before << session(false, &payload);
        after << session(true, &payload);
    }
    const int count = Email::instance().lstMessages->count();

    // The viewer on each message: decoded, laid out, placed.
    double slowest = 0;
    for (int row = 0; row < count; ++row) {
        Email::instance().lstMessages->setCurrentRow(row);
        QElapsedTimer clock;
        clock.start();
        Module1::OpenViewer();
        slowest = std::max(slowest, clock.nsecsElapsed() / 1e6);
        delete Module1::Viewer;
    }
    const double payloadMb = payload / (1024.0 * 1024.0);
    std::printf("messages=%d\npayload_mb=%.1f\nrounds=%d\nretrieve_plain_ms=%.0f\n"
                "retrieve_display_ms=%.0f\nratio=%.3f\nviewer_open_max_ms=%.1f\n"
                "peak_rss_mb=%.1f\nrss_limit_mb=%.1f\n",
                count, payloadMb, rounds, median(before), median(after),
                median(after) / median(before), slowest, peakRssMb(), 1.5 * payloadMb + 40);
    std::fflush(stdout);
    std::_Exit(0); // closing the mailbox window would end the program its own way
}
