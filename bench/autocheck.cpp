// The automatic check against the local Dovecot (the caller seeds it):
//   autocheck speed N    N checks that find nothing new, beside a minimal
//                        client that logs in, lists UIDL and quits (medians),
//                        and how many RETR and TOP commands those checks sent
//   autocheck idle S     CPU ticks spent in S seconds between two checks
//   autocheck memory N   resident memory after 10 and after N checks; with
//                        QB_BENCH_ADD=file each check first adds that message;
//                        also the bytes the protocol log keeps, which is
//                        bounded but part of the resident size
// It prints key=value lines.
#include "autocheck/AutoCheck.h"
#include "autocheck/SeenIdStore.h"
#include "core/DebugLog.h"
#include "core/Log.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace
{
double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

long ticks()
{
    QFile f(QStringLiteral("/proc/self/stat"));
    f.open(QIODevice::ReadOnly);
    const QList<QByteArray> fields = f.readAll().split(')').last().split(' ');
    return fields[12].toLong() + fields[13].toLong(); // utime, stime
}

long rssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    f.open(QIODevice::ReadOnly);
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

void runCheck(AutoCheck& check)
{
    QEventLoop loop;
    QObject::connect(&check, &AutoCheck::checkEnded, &loop, &QEventLoop::quit);
    check.schedule().bringForward(0);
    loop.exec();
}

// Commands of the checks logged since `offset`: the log keeps each one on a
// line of its own.
int commandsSince(qint64 offset, const QByteArray& command)
{
    return int(Module1::ProtocolLog().textFrom(offset).count("\r\n" + command + ' '));
}

long logKeptKb()
{
    const DebugLog& log = Module1::ProtocolLog();
    return long((log.appendedTotal() - log.leftOut()) / 1024);
}

double minimalClient()
{
    QElapsedTimer t;
    t.start();
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), 110);
    auto line = [&] {
        while (!s.canReadLine())
            s.waitForReadyRead(10000);
        return s.readLine();
    };
    line();
    for (const char* c : {"USER qbtest\r\n", "PASS qbpass\r\n"}) {
        s.write(c);
        line();
    }
    s.write("UIDL\r\n");
    QByteArray l;
    do
        l = line();
    while (l != ".\r\n");
    s.write("QUIT\r\n");
    line();
    return t.nsecsElapsed() / 1e6;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLatin1(argv[1]) : QStringLiteral("speed");
    const int n = argc > 2 ? atoi(argv[2]) : 20;
    QTemporaryDir dir;
    AutoCheck check;
    check.setStore(SeenIdStore(dir.path()));
    check.setFirstCheckDelay(0);
    check.configure(QStringLiteral("127.0.0.1"), QStringLiteral("qbtest"), QStringLiteral("qbpass"),
                    600);
    runCheck(check); // the first check records the ids
    if (mode == QLatin1String("speed")) {
        QList<double> ours, floor;
        const qint64 logStart = Module1::ProtocolLog().appendedTotal();
        for (int i = 0; i < n; ++i) {
            QElapsedTimer t;
            t.start();
            runCheck(check);
            ours << t.nsecsElapsed() / 1e6;
            floor << minimalClient();
        }
        std::printf("check_ms=%.2f\nminimal_ms=%.2f\nratio=%.2f\nretr=%d\ntop=%d\n", median(ours),
                    median(floor), median(ours) / median(floor), commandsSince(logStart, "RETR"),
                    commandsSince(logStart, "TOP"));
    } else if (mode == QLatin1String("idle")) {
        const long before = ticks();
        QEventLoop loop;
        QTimer::singleShot(n * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        std::printf("idle_seconds=%d\nidle_ticks=%ld\n", n, ticks() - before);
    } else {
        const QString add = qEnvironmentVariable("QB_BENCH_ADD");
        const QString mailhost = qEnvironmentVariable("QB_MAILHOST");
        long at10 = 0, log10 = 0;
        for (int i = 1; i <= n; ++i) {
            if (!add.isEmpty())
                QProcess::execute(QStringLiteral("bash"), {mailhost, QStringLiteral("add"), add});
            runCheck(check);
            if (i == 10) {
                at10 = rssKb();
                log10 = logKeptKb();
            }
        }
        std::printf("checks=%d\nrss_after_10_kb=%ld\nrss_after_all_kb=%ld\nlog_after_10_kb=%ld\n"
                    "log_after_all_kb=%ld\n",
                    n, at10, rssKb(), log10, logKeptKb());
    }
    return 0;
}
