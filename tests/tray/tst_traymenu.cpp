// The tray menu: a release of either button over the icon pops "&File" up at
// the pointer, other activity opens nothing, and a desktop without a
// notification area still leads to the commands and out of the program.

#include "support/TestEnvironment.h"
#include "tray/AppIcon.h"
#include "tray/NoTrayNotice.h"
#include "tray/NotificationArea.h"
#include "tray/TrayIcon.h"
#include "ui/Options.h"

#include <QAbstractButton>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QtTest>

namespace
{

class FakeArea : public NotificationArea
{
    Q_OBJECT
public:
    QList<Operation> operations;
    bool Shell_NotifyIcon(Operation operation, const NotifyIconData&) override
    {
        operations.append(operation);
        return true;
    }
    void SetForegroundWindow(QWidget*) override {}
    bool isAvailable() const override { return true; }
};

QList<QMessageBox*> notices()
{
    QList<QMessageBox*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("NoTrayNotice") && widget->isVisible())
            found.append(qobject_cast<QMessageBox*>(widget));
    }
    return found;
}

} // namespace

class TestTrayMenu : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolate(); }
    void init() { TestEnvironment::startAfresh(); }
    void cleanup()
    {
        for (QMessageBox* box : notices())
            delete box;
    }

    void trayIconOnOptions();
    void releasesPopTheMenuUp_data();
    void releasesPopTheMenuUp();
    void exitRemovesTheIconAndEnds();
    void withoutNotificationArea();
};

void TestTrayMenu::trayIconOnOptions()
{
    Options& options = Options::instance();
    QCOMPARE(options.TrayIcon1->geometry(), QRect(2640 / 15, 3840 / 15, 32, 32));
    QCOMPARE(options.TrayIcon1->ToolTip(), QStringLiteral("Quillbeacon"));
    QCOMPARE(options.TrayIcon1->Icon()
                 .pixmap(QSize(36, 36))
                 .toImage()
                 .convertToFormat(QImage::Format_ARGB32),
             QImage(QStringLiteral(":/images/app.png")).convertToFormat(QImage::Format_ARGB32));
    // The same menu sits in the menu bar.
    QCOMPARE(options.menuBar()->actions(), QList<QAction*>{options.mnuFile->menuAction()});
}

void TestTrayMenu::releasesPopTheMenuUp_data()
{
    QTest::addColumn<QList<quint32>>("codes");
    QTest::addColumn<bool>("opens");
    QTest::newRow("left press and release") << QList<quint32>{0x201, 0x202} << true;
    QTest::newRow("right release") << QList<quint32>{0x205} << true;
    QTest::newRow("move") << QList<quint32>{0x200} << false;
    QTest::newRow("presses only") << QList<quint32>{0x201, 0x204} << false;
    QTest::newRow("double-click") << QList<quint32>{0x203} << false;
    QTest::newRow("middle button") << QList<quint32>{0x207} << false;
}

void TestTrayMenu::releasesPopTheMenuUp()
{
    QFETCH(QList<quint32>, codes);
    QFETCH(bool, opens);
    FakeArea area;
    Options& options = Options::instance();
    options.TrayIcon1->setNotificationArea(&area);
    options.TrayIcon1->Start();
    QCursor::setPos(300, 200);
    // The menu works while Options is hidden.
    QVERIFY(!options.isVisible());
    for (quint32 code : codes)
        emit area.callback(options.TrayIcon1->picArea, 1, 0x200, code);
    if (opens) {
        QTRY_VERIFY(options.mnuFile->isVisible());
        QCOMPARE(options.mnuFile->pos(), QPoint(300, 200));
        options.mnuFile->hide();
    } else {
        QTest::qWait(50);
        QVERIFY(!options.mnuFile->isVisible());
    }
    QVERIFY(!options.isVisible());
    QCOMPARE(TestEnvironment::exitCount(), 0);
}

void TestTrayMenu::exitRemovesTheIconAndEnds()
{
    FakeArea area;
    Options& options = Options::instance();
    options.TrayIcon1->setNotificationArea(&area);
    options.TrayIcon1->Start();
    options.mnuExit->trigger();
    QCOMPARE(TestEnvironment::exitCount(), 1);
    QCOMPARE(area.operations, (QList<NotificationArea::Operation>{NotificationArea::NIM_ADD,
                                                                  NotificationArea::NIM_DELETE}));
}

void TestTrayMenu::withoutNotificationArea()
{
    // The offscreen platform has no notification area: the desktop's own
    // service reports that.
    Options& options = Options::instance();
    QVERIFY(!options.TrayIcon1->notificationArea()->isAvailable());
    options.TrayIcon1->Start();
    QTRY_COMPARE(notices().size(), 1);
    QCOMPARE(notices()[0]->text(), NoTrayNotice::text());
    QCOMPARE(TestEnvironment::exitCount(), 0); // start-up did not wait for an answer
    notices()[0]->button(QMessageBox::Ok)->click();
    QTRY_COMPARE(notices().size(), 0);

    // Start-up shows Options, with the commands in its menu bar; closing it
    // ends the program.
    options.show();
    QVERIFY(options.menuBar()->isVisible());
    options.close();
    QCOMPARE(TestEnvironment::exitCount(), 1);
}

QTEST_MAIN(TestTrayMenu)
#include "tst_traymenu.moc"
