// The mailbox popup: its make-up, where it goes on different screens, the
// slide-in, and the ways out of the program. It runs on a 1024 x 768 screen,
// the one the design's positions were made for.
#include "core/Module1.h"
#include "support/TestEnvironment.h"
#include "ui/Email.h"
#include "ui/PictureButton.h"
#include "ui/PopupPlacement.h"
#include "ui/SlideIn.h"
#include "ui/Twips.h"

#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
#include <QtTest>

class TestEmail : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void madeUpAsDesigned();
    void placementKeepsDistancesToBottomRight_data();
    void placementKeepsDistancesToBottomRight();
    void slideStepsUpToRest();
    void slideTakesItsTime();
    void slideFromAboveJumpsToRest();
    void exitPictureEndsProgram();
    void closingEndsProgram();
};

void TestEmail::initTestCase()
{
    TestEnvironment::isolate();
}

void TestEmail::init()
{
    TestEnvironment::resetWindows();
    DefaultInstance<Email>::destroyForTest();
    TestEnvironment::resetExit();
    SlideIn::setPauseForTest(0);
}

void TestEmail::madeUpAsDesigned()
{
    Email& email = Email::instance();
    QVERIFY(!email.isVisible());
    QVERIFY(email.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(email.windowFlags() & Qt::WindowType_Mask, Qt::Tool); // no taskbar button
    QCOMPARE(email.palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(email.size(), QSize(Twips::toPixels(3150), Twips::toPixels(2670)));
    QCOMPARE(email.Label6->text(), QStringLiteral("Bramblewickhold"));
    QCOMPARE(email.Label6->pos(), QPoint(Twips::toPixels(120), Twips::toPixels(120)));
    QCOMPARE(email.Exit->geometry(), Twips::rect(2760, 120, 225, 225));
    QCOMPARE(email.Exit->pixmap().size(), QSize(11, 11));
    QCOMPARE(email.lstMessages->geometry(), Twips::rect(120, 600, 2775, 1230));

    // The design's numbers on its own screen: Left 12180, Top 11190 twips.
    QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1024, 768));
    QCOMPARE(email.Left(), 12180.f);
    QCOMPARE(email.Top(), 11190.f);
    QCOMPARE(email.pos(), QPoint(812, 746));
}

void TestEmail::placementKeepsDistancesToBottomRight_data()
{
    QTest::addColumn<QRectF>("area"); // available area in twips
    QTest::addColumn<float>("left");
    QTest::addColumn<float>("rest");
    QTest::addColumn<float>("start");
    QTest::addColumn<float>("viewerLeft");
    QTest::newRow("1024x768, no panel")
        << QRectF(0, 0, 15360, 11520) << 12180.f << 8865.f << 11190.f << 8550.f;
    QTest::newRow("1920x1080, 40 px taskbar at the bottom")
        << QRectF(0, 0, 28800, 15600) << 25620.f << 12945.f << 15270.f << 21990.f;
    QTest::newRow("second screen to the right, panel on top")
        << QRectF(15360, 450, 15360, 11070) << 27540.f << 8865.f << 11190.f << 23910.f;
}

void TestEmail::placementKeepsDistancesToBottomRight()
{
    QFETCH(QRectF, area);
    const PopupPlacement::Geometry g = PopupPlacement::forArea(area);
    QTEST(g.mailboxLeft, "left");
    QTEST(g.mailboxRestTop, "rest");
    QTEST(g.startTop, "start");
    QTEST(g.viewerLeft, "viewerLeft");
}

void TestEmail::slideStepsUpToRest()
{
    Email& email = Email::instance();
    const PopupPlacement::Geometry place = PopupPlacement::current();
    QList<float> tops;
    const int steps = SlideIn::stepUp([&] { return email.Top(); },
                                      [&](float top) {
                                          tops << top;
                                          email.setTop(top);
                                      },
                                      [&] { return place.mailboxRestTop; });
    QCOMPARE(steps, 93);
    QCOMPARE(tops.first(), place.startTop - 25);
    QCOMPARE(tops.last(), place.mailboxRestTop);
    QCOMPARE(email.Left(), place.mailboxLeft);

    // Through the real procedure: shown, at rest (the design's Top 8865),
    // Left unchanged; a second slide-in only shows the window again.
    email.setTop(place.startTop);
    Module1::SlideInMailbox();
    QVERIFY(email.isVisible());
    QCOMPARE(email.Top(), 8865.f);
    QCOMPARE(email.pos(), QPoint(812, 591));
    email.hide();
    Module1::SlideInMailbox();
    QVERIFY(email.isVisible());
    QCOMPARE(email.Top(), place.mailboxRestTop);
}

void TestEmail::slideTakesItsTime()
{
    SlideIn::setPauseForTest(SlideIn::PauseMs);
    QElapsedTimer clock;
    clock.start();
    Module1::SlideInMailbox();
    // 93 pauses of 20 ms.
    QVERIFY2(clock.elapsed() >= 93 * 20, QByteArray::number(clock.elapsed()).constData());
}

void TestEmail::slideFromAboveJumpsToRest()
{
    Email& email = Email::instance();
    const float rest = PopupPlacement::current().mailboxRestTop;
    email.setTop(rest - 1000);
    Module1::SlideInMailbox();
    QCOMPARE(email.Top(), rest);
    // A start that is not a whole number of steps away ends exactly at rest.
    email.setTop(rest + 40);
    Module1::SlideInMailbox();
    QCOMPARE(email.Top(), rest);
}

void TestEmail::exitPictureEndsProgram()
{
    Email& email = Email::instance();
    email.show();
    QTest::mouseClick(email.Exit, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(TestEnvironment::exitCount(), 1);
}

void TestEmail::closingEndsProgram()
{
    Email& email = Email::instance();
    email.show();
    email.close();
    QCOMPARE(TestEnvironment::exitCount(), 1);
}

int main(int argc, char** argv)
{
    // The offscreen screen is 800 x 800 unless a configuration file says otherwise.
    QTemporaryDir dir;
    QFile config(dir.filePath(QStringLiteral("screen.json")));
    if (!config.open(QIODevice::WriteOnly) ||
        config.write(R"({"screens": [{"width": 1024, "height": 768}]})") < 0)
        qFatal("cannot write %s", qPrintable(config.fileName()));
    config.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config.fileName()));
    QApplication app(argc, argv);
    TestEmail test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_email.moc"
