// Freed memory goes back to the system: after many small blocks are freed
// behind one that stays, the resident size falls again.

#include "core/ReleaseMemory.h"

#include <QFile>
#include <QtTest>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace
{
// Resident pages of this process, in KiB (Linux).
qint64 residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * 4 : -1;
}
} // namespace

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
        // 64 MB in blocks of 4 KB (below the size that malloc maps on its
        // own), then one block that stays, so the heap cannot shrink from
        // its top by itself.
        std::vector<std::unique_ptr<char[]>> blocks;
        for (int i = 0; i < 16384; ++i) {
            blocks.emplace_back(new char[4000]);
            std::memset(blocks.back().get(), 1, 4000);
        }
        const std::unique_ptr<char[]> last(new char[4000]);
        std::memset(last.get(), 1, 4000);
        blocks.clear();
        const qint64 held = residentKiB();
        Memory::releaseFreed();
        const qint64 released = residentKiB();
        QVERIFY2(held - released > 32 * 1024,
                 qPrintable(QStringLiteral("resident %1 KiB before, %2 KiB after")
                                .arg(held)
                                .arg(released)));
    }
};

QTEST_GUILESS_MAIN(TestReleaseMemory)
#include "tst_releasememory.moc"
