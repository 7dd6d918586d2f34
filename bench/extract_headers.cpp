// ExtractHeaders throughput on a 10 MB and a 100 MB message, and how the
// time grows with the input (target: >= 500 MB/s, 10x input <= 11x time).
//
//   extract_headers            prints key=value lines: times, MB/s, growth
#include "pop3/ExtractHeaders.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>

namespace
{

// A realistic message: a header block, then body lines of text with the odd
// colon (times, "Re:", URLs) so the scan has work at many places.
QString makeMessage(qsizetype size)
{
    QString text = QStringLiteral("Return-Path: <a@x.test>\r\nDelivered-To: qbtest@localhost\r\n"
                                  "Subject: Benchmark\r\nTo: Ann <ann@x.test>\r\n"
                                  "Sender: <bob@x.test>\r\n\r\n");
    text.reserve(size + 200);
    QRandomGenerator random(1);
    static const char* words[] = {
        "lorem",           "ipsum", "meeting", "at",   "10:30", "Re:", "see",
        "http://x.test/a", "dolor", "sit",     "amet", "note:", "TO",  "do"};
    while (text.size() < size) {
        const int n = 5 + random.bounded(10);
        for (int i = 0; i < n; ++i) {
            text += QLatin1String(words[random.bounded(int(std::size(words)))]);
            text += QLatin1Char(' ');
        }
        text += QLatin1String("\r\n");
    }
    text.truncate(size);
    return text;
}

// Every run starts with the text out of the processor's caches, whatever its
// size, so 10 MB and 100 MB are measured alike.
void evictCaches()
{
    static QByteArray scratch(256 * 1024 * 1024, 0);
    for (qsizetype i = 0; i < scratch.size(); i += 64)
        scratch[i] = char(scratch[i] + 1);
}

// moved: the text is handed over (as the POP3 session does), so the body
// keeps its buffer; otherwise the body is copied out of the caller's text.
double bestSeconds(const QString& message, int runs, bool moved)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        QString copy = message;
        copy.detach();
        evictCaches();
        QElapsedTimer clock;
        clock.start();
        const Module1::ExtractedHeaders result =
            moved ? Module1::ExtractHeaders(std::move(copy)) : Module1::ExtractHeaders(message);
        const double seconds = clock.nsecsElapsed() / 1e9;
        if (result[Module1::HeaderSubject].isEmpty())
            std::fprintf(stderr, "unexpected: no subject\n");
        best = std::min(best, seconds);
    }
    return best;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const qsizetype small = 10 * 1000 * 1000;
    const QString message10 = makeMessage(small);
    const QString message100 = makeMessage(small * 10);
    // key=value lines; "moved": the text handed over, "copied": the body
    // copied out of the caller's text.
    for (const bool moved : {true, false}) {
        const char* how = moved ? "moved" : "copied";
        const double t10 = bestSeconds(message10, 20, moved);
        const double t100 = bestSeconds(message100, 5, moved);
        std::printf("%s_10mb_ms=%.2f\n%s_10mb_mb_per_s=%.0f\n", how, t10 * 1e3, how,
                    small / t10 / 1e6);
        std::printf("%s_100mb_ms=%.2f\n%s_growth=%.2f\n", how, t100 * 1e3, how, t100 / t10);
    }
    return 0;
}
