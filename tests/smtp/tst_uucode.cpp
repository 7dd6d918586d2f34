// The attachment encoder: the exact block for known inputs, the line
// structure around multiples of 45, the name in the header, files that cannot
// be read, and GNU uudecode accepting every size from 0 to 300.

#include "smtp/modUUCode.h"
#include "support/Prerequisite.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using modUUCode::uuencode;
using modUUCode::UUEncodeFile;

class tst_uucode : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    static QByteArray randomBytes(int size, quint32 seed)
    {
        QRandomGenerator random(seed);
        QByteArray bytes(size, Qt::Uninitialized);
        for (char& byte : bytes)
            byte = static_cast<char>(random.bounded(256));
        return bytes;
    }

private slots:
    void workedResults_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("block");
        QTest::newRow("abc") << QByteArray("abc") << QByteArray("begin 664 a.txt\n#86)C\n \nend\n");
        // "de" is padded with a space, not a zero byte, so the line ends in "@".
        QTest::newRow("abcde") << QByteArray("abcde")
                               << QByteArray("begin 664 a.txt\n%86)C9&4@\n \nend\n");
        QTest::newRow("empty") << QByteArray() << QByteArray("begin 664 a.txt\n \nend\n");
        QTest::newRow("zeros and ones") << QByteArray("\0\0\0\xff\xff\xff", 6)
                                        << QByteArray("begin 664 a.txt\n&    ____\n \nend\n");
    }
    void workedResults()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, block);
        QCOMPARE(uuencode(content, QStringLiteral("a.txt")), block);
        const std::optional<QByteArray> fromFile = UUEncodeFile(writeFile("a.txt", content));
        QVERIFY(fromFile);
        QCOMPARE(*fromFile, block);
    }

    // Line lengths around multiples of 45: a size that fills its last line
    // has no empty data line after it, only the zero-length line.
    void lineStructure_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArrayList>("dataLines"); // length char and line length
        QTest::newRow("0") << 0 << QByteArrayList{};
        QTest::newRow("44") << 44 << QByteArrayList{"L61"};
        QTest::newRow("45") << 45 << QByteArrayList{"M61"};
        QTest::newRow("46") << 46 << QByteArrayList{"M61", "!5"};
        QTest::newRow("68") << 68 << QByteArrayList{"M61", "733"};
        QTest::newRow("90") << 90 << QByteArrayList{"M61", "M61"};
    }
    void lineStructure()
    {
        QFETCH(int, size);
        QFETCH(QByteArrayList, dataLines);
        const QByteArray block = uuencode(randomBytes(size, quint32(size)), QStringLiteral("f"));
        QVERIFY(block.endsWith("\n \nend\n"));
        QByteArrayList lines = block.split('\n');
        QCOMPARE(lines.takeFirst(), QByteArray("begin 664 f"));
        QCOMPARE(lines.takeLast(), QByteArray()); // the LF after "end"
        QCOMPARE(lines.takeLast(), QByteArray("end"));
        QCOMPARE(lines.takeLast(), QByteArray(" "));
        QCOMPARE(lines.size(), dataLines.size());
        for (int i = 0; i < lines.size(); ++i) {
            QCOMPARE(lines[i].left(1), dataLines[i].left(1));
            QCOMPARE(QByteArray::number(lines[i].size()), dataLines[i].mid(1));
        }
        for (const QByteArray& line : lines) {
            for (char c : line)
                QVERIFY(c >= 0x20 && c <= 0x5f);
        }
        QCOMPARE(block.size(), modUUCode::encodedSize(size, 1));
    }

    void paddingIsSpaces()
    {
        // One byte 0x00 padded with two spaces: the second and third input
        // bytes are 0x20, which shows in the last two characters.
        QCOMPARE(uuencode(QByteArray(1, '\0'), QStringLiteral("z")),
                 QByteArray("begin 664 z\n! \" @\n \nend\n"));
    }

    void nameIsTheLastPartOfThePath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("backslashes") << "C:\\Users\\me\\report.pdf"
                                     << "report.pdf";
        QTest::newRow("slashes") << "/home/me/report.pdf"
                                 << "report.pdf";
        QTest::newRow("mixed, slash last") << "C:\\a\\b/c.txt"
                                           << "c.txt";
        QTest::newRow("mixed, backslash last") << "/a/b\\c.txt"
                                               << "c.txt";
        QTest::newRow("no separator") << "plain.txt"
                                      << "plain.txt";
        QTest::newRow("spaces kept") << "/tmp/my notes 1.txt"
                                     << "my notes 1.txt";
    }
    void nameIsTheLastPartOfThePath()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(modUUCode::fileNameOf(path), name);
    }

    void headerOfARealFile()
    {
        const QString path = writeFile("two words.bin", "abc");
        const std::optional<QByteArray> block = UUEncodeFile(path);
        QVERIFY(block);
        QVERIFY2(block->startsWith("begin 664 two words.bin\n#86)C\n"), block->constData());
        // A name that cannot hold a line break in the block.
        QVERIFY(uuencode("abc", QStringLiteral("a\nb")).startsWith("begin 664 a_b\n#"));
    }

    void unreadablePathsGiveNoBlock()
    {
        QString why;
        QVERIFY(!UUEncodeFile(m_dir.filePath("missing.txt"), &why));
        QVERIFY2(why.contains("missing.txt") && why.contains("no such file"), qPrintable(why));
        QVERIFY(!UUEncodeFile(m_dir.path(), &why));
        QVERIFY2(why.contains("folder"), qPrintable(why));
        QVERIFY(!UUEncodeFile(QString(), &why));
        if (::geteuid() != 0) { // root reads everything
            const QString locked = writeFile("locked.txt", "secret");
            QFile::setPermissions(locked, QFileDevice::WriteOwner);
            QVERIFY(!UUEncodeFile(locked, &why));
            QVERIFY2(why.contains("locked.txt"), qPrintable(why));
        }
    }

    // Larger than one read of the file, and not a whole number of reads.
    void fileReadInChunksMatchesTheBytes()
    {
        const QByteArray bytes = randomBytes(45 * 4096 * 2 + 45 * 7 + 13, 7);
        const std::optional<QByteArray> fromFile = UUEncodeFile(writeFile("big.bin", bytes));
        QVERIFY(fromFile);
        QCOMPARE(*fromFile, uuencode(bytes, QStringLiteral("big.bin")));
        const QByteArray exact = randomBytes(45 * 4096, 8);
        QCOMPARE(*UUEncodeFile(writeFile("exact.bin", exact)), uuencode(exact, "exact.bin"));
    }

    // GNU uudecode as the oracle: it must accept every block (exit status 0,
    // nothing on stderr) and write the bytes back. The sizes that fill their
    // last line, where a stray empty data line makes it stop with "No `end'
    // line", each get a run of their own.
    void uudecodeReadsEverySizeBack()
    {
        QB_REQUIRE_OR_SKIP(
            Prerequisite::program(QStringLiteral("uudecode"), QStringLiteral("GNU sharutils")));
        QTemporaryDir work;
        QVERIFY(work.isValid());
        QStringList together;
        QList<QStringList> alone;
        QList<QByteArray> originals;
        for (int size = 0; size <= 300; ++size) {
            const QByteArray bytes = randomBytes(size, quint32(1000 + size));
            originals << bytes;
            const QString blockPath = work.filePath(QStringLiteral("block%1.uu").arg(size));
            QFile block(blockPath);
            QVERIFY(block.open(QIODevice::WriteOnly));
            block.write(uuencode(bytes, QStringLiteral("out%1.bin").arg(size)));
            block.close();
            if (size == 0 || size == 44 || size == 45 || size == 90)
                alone << QStringList{blockPath};
            else
                together << blockPath;
        }
        for (const QStringList& arguments : alone + QList<QStringList>{together}) {
            QProcess decoder;
            decoder.setWorkingDirectory(work.path());
            decoder.start(QStringLiteral("uudecode"), arguments);
            QVERIFY(decoder.waitForFinished(30000));
            const QByteArray errors = decoder.readAllStandardError();
            QVERIFY2(decoder.exitStatus() == QProcess::NormalExit && decoder.exitCode() == 0,
                     qPrintable(arguments.first() + ": " + errors));
            QCOMPARE(errors, QByteArray());
        }
        for (int size = 0; size <= 300; ++size) {
            QFile decoded(work.filePath(QStringLiteral("out%1.bin").arg(size)));
            QVERIFY2(decoded.open(QIODevice::ReadOnly), qPrintable(decoded.fileName()));
            QVERIFY2(decoded.readAll() == originals[size], qPrintable(QString::number(size)));
        }
    }
};

QTEST_GUILESS_MAIN(tst_uucode)
#include "tst_uucode.moc"
