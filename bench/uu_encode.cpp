// UUEncodeFile against GNU uuencode on the same file in the same run:
// wall time, throughput and peak memory.
//
//   uu_encode [MB=100] [repeats=3]
//
// Makes a file of random bytes, then alternates the two encoders. GNU
// uuencode writes to /dev/null; UUEncodeFile builds the block in memory, as
// the sender window uses it. Peak memory of UUEncodeFile is this process's
// peak resident size, with the size before the first run shown beside it.

#include "smtp/modUUCode.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Runs "uuencode path name" with stdout on /dev/null; seconds and peak KiB.
bool runGnu(const QByteArray& path, double* seconds, long* peak)
{
    QElapsedTimer clock;
    clock.start();
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execlp("uuencode", "uuencode", path.constData(), "data.bin", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    *seconds = clock.nsecsElapsed() / 1e9;
    *peak = usage.ru_maxrss;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 100;
    const int repeats = argc > 2 ? QByteArray(argv[2]).toInt() : 3;
    const qint64 size = megabytes * 1000 * 1000;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.bin"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        std::vector<quint32> block(1 << 20);
        for (qint64 written = 0; written < size;) {
            QRandomGenerator::global()->fillRange(block.data(), block.size());
            const qint64 n = std::min<qint64>(size - written, qint64(block.size() * 4));
            file.write(reinterpret_cast<const char*>(block.data()), n);
            written += n;
        }
    }
    const long baseline = peakKiB();
    std::vector<double> ours, gnu;
    long gnuPeak = 0;
    qint64 encoded = 0;
    for (int i = 0; i < repeats; ++i) {
        double seconds = 0;
        long peak = 0;
        if (!runGnu(QFile::encodeName(path), &seconds, &peak)) {
            std::fprintf(stderr, "uuencode failed\n");
            return 1;
        }
        gnu.push_back(seconds);
        gnuPeak = std::max(gnuPeak, peak);

        QElapsedTimer clock;
        clock.start();
        std::optional<QByteArray> block = modUUCode::UUEncodeFile(path);
        ours.push_back(clock.nsecsElapsed() / 1e9);
        if (!block)
            return 1;
        encoded = block->size();
    }
    std::sort(ours.begin(), ours.end());
    std::sort(gnu.begin(), gnu.end());
    const double mb = size / 1e6;
    std::printf("file %lld bytes, block %lld bytes, %d runs each (median)\n",
                static_cast<long long>(size), static_cast<long long>(encoded), repeats);
    std::printf("UUEncodeFile   %.3f s  %.0f MB/s  peak RSS %ld KiB (before: %ld KiB)\n",
                ours[ours.size() / 2], mb / ours[ours.size() / 2], peakKiB(), baseline);
    std::printf("GNU uuencode   %.3f s  %.0f MB/s  peak RSS %ld KiB\n", gnu[gnu.size() / 2],
                mb / gnu[gnu.size() / 2], gnuPeak);
    std::printf("peak / block size: %.2f (limit 1.5)\n", peakKiB() * 1024.0 / encoded);
    return 0;
}
