// The mailbox window and the viewer on a dark desktop theme: every text on
// them, measured on a rendering of the window, stands out from the
// background behind it by at least the 4.5:1 contrast that WCAG AA asks of
// text.
#include "core/Module1.h"
#include "pop3/MessageStore.h"
#include "support/TestEnvironment.h"
#include "ui/Email.h"
#include "ui/MainForm.h"
#include "ui/SlideIn.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyleFactory>
#include <QtTest>

#include <cmath>

namespace
{

// WCAG's relative luminance of an sRGB colour.
double luminance(QRgb colour)
{
    const auto linear = [](int value) {
        const double s = value / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(colour)) + 0.7152 * linear(qGreen(colour)) +
           0.0722 * linear(qBlue(colour));
}

double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

// A text inside `area`: its background is the area's commonest colour, its
// ink the pixel that differs most from it. A text drawn in (nearly) the
// background's colour finds no such pixel.
double textContrast(const QImage& image, const QRect& area)
{
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000];
    QRgb background = 0;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            background = it.key();
        }
    }
    double best = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        best = qMax(best, contrast(it.key(), background));
    return best;
}

// A dark theme as a desktop gives it: light text for dark backgrounds.
QPalette darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(53, 53, 53));
    p.setColor(QPalette::WindowText, QColor(238, 238, 238));
    p.setColor(QPalette::Base, QColor(42, 42, 42));
    p.setColor(QPalette::AlternateBase, QColor(66, 66, 66));
    p.setColor(QPalette::Text, QColor(238, 238, 238));
    p.setColor(QPalette::Button, QColor(53, 53, 53));
    p.setColor(QPalette::ButtonText, QColor(238, 238, 238));
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, QColor(238, 238, 238));
    p.setColor(QPalette::Light, QColor(80, 80, 80));
    p.setColor(QPalette::Midlight, QColor(66, 66, 66));
    p.setColor(QPalette::Mid, QColor(40, 40, 40));
    p.setColor(QPalette::Dark, QColor(30, 30, 30));
    p.setColor(QPalette::Shadow, QColor(10, 10, 10));
    return p;
}

} // namespace

class TestPopupColours : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void textsReadableOnDarkTheme();
};

void TestPopupColours::initTestCase()
{
    TestEnvironment::isolate();
    TestEnvironment::resetWindows();
    SlideIn::setPauseForTest(0);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(darkPalette());
}

void TestPopupColours::textsReadableOnDarkTheme()
{
    Email& email = Email::instance();
    for (int i = 0; i < 3; ++i) {
        const QByteArray reply = "+OK\r\nTo: ann@example.test\r\nSubject: Meeting " +
                                 QByteArray::number(i + 1) + "\r\n\r\nSee you at ten.\r\n.\r\n";
        emit email.pop3->messageStored(i, Module1::storeRetrievedMessage(i, reply));
    }
    email.lstMessages->setCurrentRow(1);
    Module1::SlideInMailbox();
    Module1::OpenViewer();
    MainForm* viewer = Module1::Viewer;
    QVERIFY(viewer);

    struct Text {
        QString name;
        QWidget* window;
        QRect area; // in the window
    };
    QList<Text> texts;
    // `inset` keeps a control's frame or bevel out of the measured area.
    const auto add = [&](const QString& name, QWidget* window, QWidget* control, int inset = 0,
                         QRect area = QRect()) {
        if (area.isNull())
            area = control->rect();
        area.adjust(inset, inset, -inset, -inset);
        texts << Text{name, window, QRect(control->mapTo(window, area.topLeft()), area.size())};
    };
    QListWidget* list = email.lstMessages;
    add(QStringLiteral("mailbox title"), &email, email.Label6);
    add(QStringLiteral("list row"), &email, list->viewport(), 0,
        list->visualItemRect(list->item(0)));
    add(QStringLiteral("selected list row"), &email, list->viewport(), 0,
        list->visualItemRect(list->item(1)));
    add(QStringLiteral("From label"), viewer, viewer->Label1);
    add(QStringLiteral("Subject label"), viewer, viewer->Label5);
    add(QStringLiteral("Body label"), viewer, viewer->Label7);
    add(QStringLiteral("subject"), viewer, viewer->txtSubject);
    add(QStringLiteral("address box"), viewer, viewer->txtSender, 3);
    add(QStringLiteral("body box"), viewer, viewer->txtMessage->viewport());
    add(QStringLiteral("Reply button"), viewer, viewer->Command1, 4);

    QHash<QWidget*, QImage> renders;
    QStringList unreadable;
    for (const Text& text : texts) {
        if (!renders.contains(text.window))
            renders[text.window] = text.window->grab().toImage();
        const double ratio = textContrast(renders[text.window], text.area);
        if (ratio < 4.5)
            unreadable << QStringLiteral("%1 %2:1").arg(text.name).arg(ratio, 0, 'f', 2);
    }
    QVERIFY2(unreadable.isEmpty(), qPrintable(unreadable.join(QStringLiteral(", "))));
}

QTEST_MAIN(TestPopupColours)
#include "tst_popupcolours.moc"
