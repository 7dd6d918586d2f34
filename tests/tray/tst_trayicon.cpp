// The tray icon control: its record, the decoding of the notification area's
// call-backs, the properties, the size keeping, and the pictures it shows.

#include "core/ProgramExit.h"
#include "support/TestEnvironment.h"
#include "tray/AppIcon.h"
#include "tray/NotificationArea.h"
#include "tray/SessionPlatform.h"
#include "tray/TrayActivation.h"
#include "tray/TrayIcon.h"
#include "ui/Twips.h"

#include <QImageReader>
#include <QSignalSpy>
#include <QtTest>

namespace
{

// Records every operation with a copy of the record, as the area saw it.
class FakeArea : public NotificationArea
{
    Q_OBJECT
public:
    struct Call {
        Operation operation;
        NotifyIconData record;
    };
    QList<Call> calls;
    QList<QWidget*> foreground;
    bool available = true;

    bool Shell_NotifyIcon(Operation operation, const NotifyIconData& record) override
    {
        calls.append({operation, record});
        return true;
    }
    void SetForegroundWindow(QWidget* window) override { foreground.append(window); }
    bool isAvailable() const override { return available; }
};

QByteArray field(const NotifyIconData& record)
{
    return QByteArray(record.szTip.data(), NotifyIconData::TipSize);
}

} // namespace

class TestTrayIcon : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolate(); }
    void init() { TestEnvironment::resetExit(); }

    void startFillsTheRecord();
    void tipField_data();
    void tipField();
    void propertiesWaitForModify();
    void removeHandsOverTheRecordUnchanged();
    void missingPictureFallsBackToTheApplicationIcon();
    void orderlyExitRemovesTheIcon();
    void startSaysWhenThereIsNoArea();
    void decoding_data();
    void decoding();
    void callbackReachesTheControl();
    void keepsItself32x32();
    void propertyBag();
    void activationCodes_data();
    void activationCodes();
    void sharpOnHighDpi();
    void pictures_data();
    void pictures();
    void x11OnWayland();
};

void TestTrayIcon::startFillsTheRecord()
{
    FakeArea area;
    TrayIcon control;
    control.setNotificationArea(&area);
    control.setToolTip(QStringLiteral("Quillbeacon"));
    control.setIcon(AppIcon::icon());
    control.Start();
    QCOMPARE(area.calls.size(), 1);
    QCOMPARE(area.calls[0].operation, NotificationArea::NIM_ADD);
    const NotifyIconData& record = area.calls[0].record;
    QCOMPARE(record.cbSize, 88u);
    QCOMPARE(record.hWnd, control.picArea);
    QCOMPARE(record.uID, 1u);
    QCOMPARE(record.uFlags, 7u);
    QCOMPARE(record.uCallbackMessage, 0x200u);
    QVERIFY(AppIcon::isPicture(record.hIcon));
    QCOMPARE(record.tipText(), QStringLiteral("Quillbeacon"));
}

void TestTrayIcon::tipField_data()
{
    QTest::addColumn<QString>("tip");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty") << QString() << QByteArray(1, '\0') + QByteArray(63, ' ');
    QTest::newRow("63") << QString(63, QLatin1Char('a')) << QByteArray(63, 'a') + '\0';
    QTest::newRow("70") << QString(63, QLatin1Char('b')) + QStringLiteral("cdefghi")
                        << QByteArray(63, 'b') + '\0';
    QTest::newRow("short") << QStringLiteral("Mail")
                           << QByteArray("Mail") + '\0' + QByteArray(59, ' ');
    QTest::newRow("beyond Latin-1") << QStringLiteral("caf\u00e9 \u20ac")
                                    << QByteArray("caf\xe9 ?") + '\0' + QByteArray(57, ' ');
}

void TestTrayIcon::tipField()
{
    QFETCH(QString, tip);
    QFETCH(QByteArray, expected);
    FakeArea area;
    TrayIcon control;
    control.setNotificationArea(&area);
    control.setToolTip(tip);
    control.Start();
    QCOMPARE(field(area.calls.last().record), expected);
    QCOMPARE(area.calls.last().record.tipText(), QString::fromLatin1(tip.left(63).toLatin1()));
}

void TestTrayIcon::propertiesWaitForModify()
{
    FakeArea area;
    TrayIcon control;
    control.setNotificationArea(&area);
    control.setToolTip(QStringLiteral("first"));
    control.Start();
    QSignalSpy changed(&control, &TrayIcon::PropertyChanged);

    // Setting a property alone leaves the notification area as it was.
    control.setToolTip(QStringLiteral("second"));
    const QIcon other(QStringLiteral(":/images/cross.png"));
    control.setIcon(other);
    QCOMPARE(area.calls.size(), 1);
    QCOMPARE(control.record().tipText(), QStringLiteral("first"));
    QCOMPARE(changed.size(), 2);
    QCOMPARE(changed[0][0].toString(), QStringLiteral("ToolTip"));
    QCOMPARE(changed[1][0].toString(), QStringLiteral("Icon"));

    control.Modify();
    QCOMPARE(area.calls.size(), 2);
    QCOMPARE(area.calls[1].operation, NotificationArea::NIM_MODIFY);
    const NotifyIconData& record = area.calls[1].record;
    QCOMPARE(record.tipText(), QStringLiteral("second"));
    QCOMPARE(record.hIcon.cacheKey(), other.cacheKey());
    // What Start put there stays.
    QCOMPARE(record.cbSize, 88u);
    QCOMPARE(record.hWnd, control.picArea);
    QCOMPARE(record.uID, 1u);
    QCOMPARE(record.uFlags, 7u);
    QCOMPARE(record.uCallbackMessage, 0x200u);
}

void TestTrayIcon::removeHandsOverTheRecordUnchanged()
{
    FakeArea area;
    {
        TrayIcon control;
        control.setNotificationArea(&area);
        control.setToolTip(QStringLiteral("one"));
        control.Start();
        control.setToolTip(QStringLiteral("two"));
        control.Remove();
        QCOMPARE(area.calls.size(), 2);
        QCOMPARE(area.calls[1].operation, NotificationArea::NIM_DELETE);
        QCOMPARE(area.calls[1].record.tipText(), QStringLiteral("one"));
        QCOMPARE(area.calls[1].record.hWnd, control.picArea);
    }
    // The control's own teardown removes the icon as well.
    QCOMPARE(area.calls.size(), 3);
    QCOMPARE(area.calls[2].operation, NotificationArea::NIM_DELETE);
}

void TestTrayIcon::missingPictureFallsBackToTheApplicationIcon()
{
    QTemporaryDir dir;
    QFile notPicture(dir.filePath(QStringLiteral("icon.png")));
    QVERIFY(notPicture.open(QIODevice::WriteOnly));
    notPicture.write("this is no picture");
    notPicture.close();
    const QList<QIcon> broken = {QIcon(), QIcon(QStringLiteral(":/images/none.png")),
                                 QIcon(notPicture.fileName())};
    for (const QIcon& icon : broken) {
        FakeArea area;
        TrayIcon control;
        control.setNotificationArea(&area);
        control.setIcon(icon);
        control.Start();
        QCOMPARE(area.calls.size(), 1);
        QVERIFY(AppIcon::isPicture(area.calls[0].record.hIcon));
        control.Modify();
        QVERIFY(AppIcon::isPicture(area.calls[1].record.hIcon));
    }
}

void TestTrayIcon::orderlyExitRemovesTheIcon()
{
    FakeArea area;
    TrayIcon control;
    control.setNotificationArea(&area);
    control.Start();
    ProgramExit::end();
    QCOMPARE(TestEnvironment::exitCount(), 1);
    QCOMPARE(area.calls.size(), 2);
    QCOMPARE(area.calls[1].operation, NotificationArea::NIM_DELETE);
}

void TestTrayIcon::startSaysWhenThereIsNoArea()
{
    FakeArea area;
    TrayIcon control;
    control.setNotificationArea(&area);
    QSignalSpy missing(&control, &TrayIcon::NotificationAreaMissing);
    control.Start();
    QCOMPARE(missing.size(), 0);
    control.Remove();
    area.available = false;
    control.Start();
    QCOMPARE(missing.size(), 1);
    // The icon is still handed over: an area that appears later takes it.
    QCOMPARE(area.calls.last().operation, NotificationArea::NIM_ADD);
}

void TestTrayIcon::decoding_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("event");
    QTest::addColumn<int>("button");
    QTest::newRow("0x200 move") << 0x200 << "MouseMove" << 0;
    QTest::newRow("0x201 left down") << 0x201 << "MouseDown" << 1;
    QTest::newRow("0x202 left up") << 0x202 << "Click" << 1;
    QTest::newRow("0x203 left double") << 0x203 << "DblClick" << 1;
    QTest::newRow("0x204 right down") << 0x204 << "MouseDown" << 2;
    QTest::newRow("0x205 right up") << 0x205 << "Click" << 2;
    QTest::newRow("0x206 right double") << 0x206 << "DblClick" << 2;
    QTest::newRow("0x207 middle down") << 0x207 << "" << 0;
    QTest::newRow("0x1FF") << 0x1FF << "" << 0;
    QTest::newRow("0") << 0 << "" << 0;
    QTest::newRow("negative") << -0x202 << "" << 0;
}

void TestTrayIcon::decoding()
{
    QFETCH(int, code);
    QFETCH(QString, event);
    QFETCH(int, button);
    FakeArea area;
    QWidget host;
    auto* control = new TrayIcon(&host);
    control->setNotificationArea(&area);
    QSignalSpy down(control, &TrayIcon::MouseDown);
    QSignalSpy click(control, &TrayIcon::Click);
    QSignalSpy dbl(control, &TrayIcon::DblClick);
    QSignalSpy move(control, &TrayIcon::MouseMove);

    // Pending events run before the event is raised.
    bool pendingRan = false;
    QTimer::singleShot(0, this, [&] { pendingRan = true; });
    bool ranBeforeEvent = false;
    auto note = [&] { ranBeforeEvent = pendingRan; };
    connect(control, &TrayIcon::MouseDown, this, note);
    connect(control, &TrayIcon::Click, this, note);
    connect(control, &TrayIcon::DblClick, this, note);
    connect(control, &TrayIcon::MouseMove, this, note);

    const float x = static_cast<float>(code * Twips::perPixel());
    control->HandleTrayMessage(7, 3, x, 42.5f);

    QCOMPARE(down.size(), event == "MouseDown" ? 1 : 0);
    QCOMPARE(click.size(), event == "Click" ? 1 : 0);
    QCOMPARE(dbl.size(), event == "DblClick" ? 1 : 0);
    QCOMPARE(move.size(), event == "MouseMove" ? 1 : 0);
    if (event.isEmpty()) {
        QVERIFY(area.foreground.isEmpty());
        return;
    }
    // The foreground step names the window that holds the control.
    QCOMPARE(area.foreground, QList<QWidget*>{&host});
    QVERIFY(ranBeforeEvent);
    if (event == "MouseMove") {
        QCOMPARE(move[0][0].toFloat(), x);
        QCOMPARE(move[0][1].toFloat(), 42.5f);
        if (code == 0x200)
            QCOMPARE(x, 7680.0f);
        return;
    }
    QSignalSpy& spy = event == "MouseDown" ? down : event == "Click" ? click : dbl;
    QCOMPARE(spy[0][0].value<qint16>(), qint16(button));
    QCOMPARE(spy[0][1].value<qint16>(), qint16(3));
    QCOMPARE(spy[0][2].toFloat(), x);
    QCOMPARE(spy[0][3].toFloat(), 42.5f);
}

void TestTrayIcon::callbackReachesTheControl()
{
    FakeArea area;
    TrayIcon control;
    control.setNotificationArea(&area);
    control.Start();
    QSignalSpy click(&control, &TrayIcon::Click);

    // Another window's call-back, or another message, is not for this control.
    QWidget other;
    emit area.callback(&other, 1, 0x200, 0x202);
    emit area.callback(control.picArea, 1, 0x401, 0x202);
    QCoreApplication::processEvents();
    QCOMPARE(click.size(), 0);

    emit area.callback(control.picArea, 1, 0x200, 0x205);
    emit area.callback(control.picArea, 1, 0x200, 0x202);
    QTRY_COMPARE(click.size(), 2);
    QCOMPARE(click[0][0].value<qint16>(), qint16(2));
    QCOMPARE(click[1][0].value<qint16>(), qint16(1));
    QCOMPARE(click[0][2].toFloat(), 0x205 * 15.0f);
}

void TestTrayIcon::keepsItself32x32()
{
    QWidget host;
    auto* control = new TrayIcon(&host);
    QCOMPARE(control->size(), QSize(32, 32));
    control->resize(100, 20);
    QCOMPARE(control->size(), QSize(32, 32));
    control->setGeometry(5, 6, 1, 1);
    QCOMPARE(control->geometry(), QRect(5, 6, 32, 32));
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QCOMPARE(control->size(), QSize(32, 32));
    // picArea lies outside the square: never seen.
    QCOMPARE(control->picArea->geometry(), QRect(64, 48, 33, 33));
    QVERIFY(!control->rect().intersects(control->picArea->geometry()));
}

void TestTrayIcon::propertyBag()
{
    TrayIcon control;
    control.setToolTip(QStringLiteral("x"));
    control.setIcon(AppIcon::icon());
    control.InitProperties();
    QVERIFY(control.Icon().isNull());
    QCOMPARE(control.ToolTip(), QString());
    QVERIFY(control.WriteProperties().isEmpty());

    control.ReadProperties({{QStringLiteral("Icon"), QPixmap(QStringLiteral(":/images/app.png"))},
                            {QStringLiteral("ToolTip"), QStringLiteral("Quillbeacon")}});
    QVERIFY(AppIcon::isPicture(control.Icon()));
    QCOMPARE(control.ToolTip(), QStringLiteral("Quillbeacon"));
    const QVariantMap bag = control.WriteProperties();
    TrayIcon copy;
    copy.ReadProperties(bag);
    QCOMPARE(copy.ToolTip(), QStringLiteral("Quillbeacon"));
    QVERIFY(AppIcon::isPicture(copy.Icon()));

    // No tip stored reads as the empty string; a value that is no picture
    // reads as no picture.
    copy.ReadProperties({{QStringLiteral("Icon"), 12345}});
    QCOMPARE(copy.ToolTip(), QString());
    QVERIFY(!AppIcon::isPicture(copy.Icon()));
}

void TestTrayIcon::activationCodes_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<bool>("onPress");
    QTest::addColumn<QList<quint32>>("codes");
    QTest::newRow("click, on release")
        << int(QSystemTrayIcon::Trigger) << false << QList<quint32>{0x202};
    QTest::newRow("click, on press")
        << int(QSystemTrayIcon::Trigger) << true << QList<quint32>{0x201, 0x202};
    QTest::newRow("double-click") << int(QSystemTrayIcon::DoubleClick) << true
                                  << QList<quint32>{0x203};
    QTest::newRow("context, on release")
        << int(QSystemTrayIcon::Context) << false << QList<quint32>{0x205};
    QTest::newRow("context, on press")
        << int(QSystemTrayIcon::Context) << true << QList<quint32>{0x204, 0x205};
    QTest::newRow("middle") << int(QSystemTrayIcon::MiddleClick) << false << QList<quint32>{0x207};
    QTest::newRow("unknown") << int(QSystemTrayIcon::Unknown) << false << QList<quint32>{};
}

void TestTrayIcon::activationCodes()
{
    QFETCH(int, reason);
    QFETCH(bool, onPress);
    QFETCH(QList<quint32>, codes);
    QCOMPARE(TrayActivation::codesFor(QSystemTrayIcon::ActivationReason(reason), onPress), codes);
    QVERIFY(TrayActivation::reportedOnPress(QStringLiteral("xcb")));
    QVERIFY(!TrayActivation::reportedOnPress(QStringLiteral("windows")));
}

void TestTrayIcon::sharpOnHighDpi()
{
    const QIcon prepared = AppIcon::forScreens(AppIcon::icon(), {1.0, 2.0});
    const QPixmap big = prepared.pixmap(QSize(22, 22), 2.0);
    QCOMPARE(big.devicePixelRatio(), 2.0);
    QCOMPARE(big.size(), QSize(44, 44));
    const QPixmap normal = prepared.pixmap(QSize(22, 22), 1.0);
    QCOMPARE(normal.size(), QSize(22, 22));
    QCOMPARE(normal.devicePixelRatio(), 1.0);
}

void TestTrayIcon::pictures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("maxColours");
    QTest::newRow("application icon") << ":/images/app.png" << QSize(36, 36) << 16;
    QTest::newRow("face") << ":/images/trayface.png" << QSize(32, 32) << 256;
    QTest::newRow("cross") << ":/images/cross.png" << QSize(11, 11) << 2;
    QTest::newRow("splash") << ":/images/splash.png" << QSize(500, 400) << 0;
    for (int side : {48, 64, 128, 256})
        QTest::addRow("icon %d", side)
            << QStringLiteral(":/images/app-%1.png").arg(side) << QSize(side, side) << 0;
}

void TestTrayIcon::pictures()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(int, maxColours);
    const QImage image(name);
    QCOMPARE(image.size(), size);
    if (maxColours == 0)
        return;
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    QVERIFY2(colours.size() <= maxColours, qPrintable(QString::number(colours.size())));
    if (name.contains(QLatin1String("cross"))) {
        QCOMPARE(image.pixel(0, 0), qRgb(255, 69, 0));
        QCOMPARE(image.pixel(5, 5), qRgb(255, 255, 255));
    }
}

void TestTrayIcon::x11OnWayland()
{
    using SessionPlatform::forcedPlatform;
    // A Wayland session with XWayland runs the program on X11.
    QCOMPARE(forcedPlatform({"", "wayland-0", "wayland", ":0"}), QByteArray("xcb"));
    QCOMPARE(forcedPlatform({"", "", "wayland", ":1"}), QByteArray("xcb"));
    // A plugin the user named, a plain X11 session, or no XWayland: no change.
    QCOMPARE(forcedPlatform({"wayland", "wayland-0", "wayland", ":0"}), QByteArray());
    QCOMPARE(forcedPlatform({"", "", "x11", ":0"}), QByteArray());
    QCOMPARE(forcedPlatform({"", "wayland-0", "wayland", ""}), QByteArray());
}

QTEST_MAIN(TestTrayIcon)
#include "tst_trayicon.moc"
