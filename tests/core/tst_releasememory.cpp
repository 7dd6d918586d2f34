// Freed memory goes back to the system: after many small blocks are freed
// behind one that stays, the resident size falls again.
#include "core/ReleaseMemory.h"

#include <QFile>
#include <QtTest>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

class TestReleaseMemory : public QObject
{
    Q_OBJECT
private slots:
    void freedMemoryLeavesTheProcess()
    {
#if !defined(__GLIBC__)
        QSKIP("only the GNU C library keeps freed memory this way");
#elif defined(__SANITIZE_ADDRESS__)
        QSKIP("AddressSanitizer keeps freed memory in quarantine, by design");
#endif
        const auto residentKiB = [] {
            QFile statm(QStringLiteral("/proc/self/statm"));
            return statm.open(QIODevice::ReadOnly)
                       ? statm.readAll().split(' ').value(1).toLongLong() * 4
                       : -1;
        };
        // 64 MB in blocks of 4 KB, then one that stays, so that the heap
        // cannot shrink from its top by itself.
        std::vector<std::unique_ptr<char[]>> blocks(16384);
        for (auto& block : blocks)
            std::memset((block = std::make_unique<char[]>(4000)).get(), 1, 4000);
        const auto last = std::make_unique<char[]>(4000);
        blocks.clear();
        const qint64 held = residentKiB();
        Memory::releaseFreed();
        QVERIFY2(held - residentKiB() > 32 * 1024, qPrintable(QString::number(held)));
    }
};

QTEST_GUILESS_MAIN(TestReleaseMemory)
#include "tst_releasememory.moc"
