// One UUEncodeFile of FILE, as the sender window uses it (the block built in
// memory), in a process of its own so that a whole-process timer can set it
// beside GNU uuencode on the same file.
//
//   uu_encode FILE      prints block_bytes=, peak_kib=, base_kib= and
//                       peak_per_block= (peak memory / encoded size)
#include "smtp/modUUCode.h"

#include <QCoreApplication>

#include <cstdio>
#include <sys/resource.h>

namespace
{
long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: uu_encode FILE\n");
        return 2;
    }
    const long base = peakKiB();
    const std::optional<QByteArray> block =
        modUUCode::UUEncodeFile(QString::fromLocal8Bit(argv[1]));
    if (!block)
        return 1;
    std::printf("block_bytes=%lld\npeak_kib=%ld\nbase_kib=%ld\npeak_per_block=%.2f\n",
                static_cast<long long>(block->size()), peakKiB(), base,
                peakKiB() * 1024.0 / block->size());
    return 0;
}
