// The count on the tray icon, rendered offscreen at each tray size at device
// pixel ratios 1 and 2 and measured on the pixels: the digits stand out from
// the badge by WCAG's text contrast and are tall enough to read, nothing of
// them is cut off, the top of the icon's own picture stays visible, every
// count looks different, and at 0 the icon is the original, pixel for pixel.
//
// The digits are measured on a badge over a plain grey icon, where every
// pixel that changed is the badge's and its rim blends with grey alone; over
// the program's icon, a rim pixel over the envelope's white would pass for
// ink.
//
// With QB_TRAY_COUNT_PICTURE set to a file name, the test also writes the
// icons as one picture there (docs/tray-count.png).
#include "support/Contrast.h"
#include "tray/AppIcon.h"
#include "tray/CountBadge.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

namespace
{

const QList<int> Sizes{16, 22, 24, 32};
const QList<qreal> Ratios{1, 2};

QIcon greyIcon()
{
    QPixmap grey(36, 36);
    grey.fill(QColor(128, 128, 128));
    return QIcon(grey);
}

QImage rgb(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

// What a badge on `drawn` (over `original`) looks like, in device pixels.
struct Measure {
    QRect badge;       // every pixel that changed
    QRgb fill = 0;     // the commonest colour among them
    QRect ink;         // the pixels that stand out from the fill as text must
    int inkPixels = 0; // how many do
    double best = 1;   // the highest contrast among them
};

Measure measure(const QImage& original, const QImage& drawn)
{
    Measure m;
    QHash<QRgb, int> counts;
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            if (drawn.pixel(x, y) != original.pixel(x, y)) {
                m.badge |= QRect(x, y, 1, 1);
                ++counts[drawn.pixel(x, y)];
            }
        }
    }
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        m.fill = it.value() > counts.value(m.fill) ? it.key() : m.fill;
    for (int y = m.badge.top(); y <= m.badge.bottom(); ++y) {
        for (int x = m.badge.left(); x <= m.badge.right(); ++x) {
            const QRgb pixel = drawn.pixel(x, y);
            if (pixel == original.pixel(x, y))
                continue;
            const double contrast = Contrast::ratio(pixel, m.fill);
            m.best = qMax(m.best, contrast);
            if (contrast >= 4.5) {
                m.ink |= QRect(x, y, 1, 1);
                ++m.inkPixels;
            }
        }
    }
    return m;
}

} // namespace

class TestCountBadge : public QObject
{
    Q_OBJECT
private slots:
    void labels();
    void zeroIsTheOriginal();
    void countsAreLegible();
    void pictureBeneathStays();
    void iconCarriesEverySize();
    void cleanupTestCase();
};

void TestCountBadge::labels()
{
    QCOMPARE(CountBadge::label(0), QString());
    QCOMPARE(CountBadge::label(-3), QString());
    QCOMPARE(CountBadge::label(1), QStringLiteral("1"));
    QCOMPARE(CountBadge::label(9), QStringLiteral("9"));
    QCOMPARE(CountBadge::label(10), QStringLiteral("10"));
    QCOMPARE(CountBadge::label(99), QStringLiteral("99"));
    QCOMPARE(CountBadge::label(100), QStringLiteral("99+"));
    QCOMPARE(CountBadge::label(1 << 30), QStringLiteral("99+"));
}

void TestCountBadge::zeroIsTheOriginal()
{
    const QIcon original = AppIcon::icon();
    const QIcon none = CountBadge::icon(original, 0, Ratios);
    QCOMPARE(none.cacheKey(), original.cacheKey());
    for (int size : Sizes) {
        for (qreal ratio : Ratios) {
            const QImage expected = rgb(original.pixmap(QSize(size, size), ratio));
            QCOMPARE(rgb(CountBadge::pixmap(original, 0, size, ratio)), expected);
        }
    }
}

void TestCountBadge::countsAreLegible()
{
    const QIcon grey = greyIcon();
    QStringList faults;
    for (int size : Sizes) {
        for (qreal ratio : Ratios) {
            const int device = qRound(size * ratio);
            const QImage plain = rgb(CountBadge::pixmap(grey, 0, size, ratio));
            for (int count : {1, 4, 7, 10, 42, 88, 100}) {
                const QPixmap pixmap = CountBadge::pixmap(grey, count, size, ratio);
                QCOMPARE(pixmap.size(), QSize(device, device));
                QCOMPARE(pixmap.devicePixelRatio(), ratio);
                const Measure m = measure(plain, rgb(pixmap));
                const QString what =
                    QStringLiteral("%1 px at %2, count %3: ").arg(size).arg(ratio).arg(count);
                if (m.best < 4.5)
                    faults << what + QStringLiteral("contrast %1:1").arg(m.best, 0, 'f', 2);
                // A digit needs 7 rows to read at all; larger icons give it
                // two fifths of their height.
                const int tall = qMax(7, int(device * 0.4));
                if (m.ink.height() < tall)
                    faults << what + QStringLiteral("digits %1 px tall").arg(m.ink.height());
                // At least a whole stroke of solid ink, not a few stray pixels.
                if (m.inkPixels < m.ink.height())
                    faults << what + QStringLiteral("%1 ink pixels").arg(m.inkPixels);
                // Nothing of the text cut off at the badge's edge.
                if (!m.badge.adjusted(1, 1, -1, -1).contains(m.ink))
                    faults << what + QStringLiteral("text touches the badge's edge");
            }
        }
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("\n"))));
}

void TestCountBadge::pictureBeneathStays()
{
    const QIcon original = AppIcon::icon();
    QStringList faults;
    for (int size : Sizes) {
        for (qreal ratio : Ratios) {
            const int device = qRound(size * ratio);
            const QImage plain = rgb(CountBadge::pixmap(original, 0, size, ratio));
            QSet<QByteArray> looks;
            const QList<int> counts{1, 4, 7, 10, 42, 88, 100};
            for (int count : counts) {
                const QImage drawn = rgb(CountBadge::pixmap(original, count, size, ratio));
                looks.insert(QByteArray(reinterpret_cast<const char*>(drawn.constBits()),
                                        drawn.sizeInBytes()));
                // The upper third of the icon's own picture stays as it was.
                const Measure m = measure(plain, drawn);
                if (m.badge.isEmpty() || m.badge.top() < device / 3)
                    faults << QStringLiteral("%1 px at %2, count %3: the badge reaches row %4")
                                  .arg(size)
                                  .arg(ratio)
                                  .arg(count)
                                  .arg(m.badge.top());
            }
            if (looks.size() != counts.size())
                faults
                    << QStringLiteral("%1 px at %2: two counts look the same").arg(size).arg(ratio);
        }
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("\n"))));
}

void TestCountBadge::iconCarriesEverySize()
{
    const QIcon original = AppIcon::icon();
    const QIcon counted = CountBadge::icon(original, 5, Ratios);
    for (int size : Sizes) {
        for (qreal ratio : Ratios) {
            const QPixmap pixmap = counted.pixmap(QSize(size, size), ratio);
            QCOMPARE(pixmap.size(), QSize(size, size) * ratio);
            QCOMPARE(rgb(pixmap), rgb(CountBadge::pixmap(original, 5, size, ratio)));
        }
    }
}

// Where asked: the icons at the four sizes, as a screen at ratio 2 shows
// them, with no count and with 3, 42 and 120, on a dark and a light panel.
void TestCountBadge::cleanupTestCase()
{
    const QString file = qEnvironmentVariable("QB_TRAY_COUNT_PICTURE");
    if (file.isEmpty())
        return;
    const QList<int> counts{0, 3, 42, 120};
    const int cell = 80;
    QImage sheet(cell * Sizes.size(), cell * counts.size() * 2, QImage::Format_ARGB32);
    QPainter painter(&sheet);
    const QIcon original = AppIcon::icon();
    for (int panel = 0; panel < 2; ++panel) {
        const QRect band(0, panel * cell * counts.size(), sheet.width(), cell * counts.size());
        painter.fillRect(band, panel == 0 ? QColor(0x30, 0x30, 0x30) : QColor(0xe8, 0xe8, 0xe8));
        for (int row = 0; row < counts.size(); ++row) {
            for (int column = 0; column < Sizes.size(); ++column) {
                QImage icon = CountBadge::pixmap(original, counts[row], Sizes[column], 2).toImage();
                icon.setDevicePixelRatio(1);
                const QPoint corner(column * cell + (cell - icon.width()) / 2,
                                    band.top() + row * cell + (cell - icon.height()) / 2);
                painter.drawImage(corner, icon);
            }
        }
    }
    painter.end();
    QVERIFY(sheet.save(file));
}

QTEST_MAIN(TestCountBadge)
#include "tst_countbadge.moc"
