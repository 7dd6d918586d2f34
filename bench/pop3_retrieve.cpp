// One retrieve session through the real Email window (offscreen) against the
// local Dovecot, timed from "&Connect" to the closed socket, with the CPU
// time and the peak memory of the process. The slide-in's pauses are left
// out of the time (they are a fixed 93 x 20 ms of animation).
//
//   QT_QPA_PLATFORM=offscreen pop3_retrieve [SERVER] [user] [password]
// SERVER is the text of the Server box (default 127.0.0.1). Prints key=value
// lines: messages, reply_bytes, wall_ms, cpu_ms, peak_rss_mb, rss_before_mb.
// Exit 1 when the session ends in a message box (the error path).
#include "core/Module1.h"
#include "core/ProgramExit.h"
#include "pop3/MessageStore.h"
#include "ui/Email.h"
#include "ui/Pop3Commands.h"
#include "ui/SlideIn.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace
{
double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}
double peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Module1::MailServer = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("127.0.0.1");
    Module1::UserName = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("qbtest");
    Module1::MailPassword = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("qbpass");
    SlideIn::setPauseForTest(0);
    Email::instance(); // created before the clock starts, as in the program

    const double rssBefore = peakRssMb();
    const double cpuBefore = cpuMs();
    QElapsedTimer clock;
    clock.start();
    Module1::ConnectRetrieve();
    // A local loop: quitting the application would close the mailbox window,
    // and closing it ends the program.
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "pop3_retrieve: %s\n", qPrintable(box->text()));
            std::_Exit(1);
        }
        if (!Email::instance().sessionRunning())
            loop.quit();
    });
    poll.start(1);
    loop.exec();
    const double wall = clock.nsecsElapsed() / 1e6;
    const double cpu = cpuMs() - cpuBefore;

    qint64 payload = 0;
    for (int i = 0; i < Module1::MessageTableSize; ++i)
        payload += Module1::storedReply(i).size();
    std::printf("messages=%d\nreply_bytes=%lld\nwall_ms=%.0f\ncpu_ms=%.0f\npeak_rss_mb=%.1f\n"
                "rss_before_mb=%.1f\n",
                int(Email::instance().CurrentMessage()), static_cast<long long>(payload), wall, cpu,
                peakRssMb(), rssBefore);
    std::fflush(stdout);
    // No Debug.txt from a benchmark; an empty mailbox counts as a failure.
    const bool fetched = Email::instance().CurrentMessage() > 0;
    ProgramExit::setTerminator([fetched] { std::_Exit(fetched ? 0 : 1); });
    ProgramExit::end(); // no teardown of the tables, like the program's own exit
    return 0;
}
