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
    QRgb background = counts.cbegin().key();
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        background = it.value() > counts[background] ? it.key() : background;
    double best = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        best = qMax(best, contrast(it.key(), background));
    return best;
}

// A dark theme as a desktop gives it: from a dark grey, Qt derives white text
// on a black base and the rest.
QPalette darkPalette()
{
    return QPalette(QColor(53, 53, 53), QColor(53, 53, 53));
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
        const QByteArray reply = "+OK\r\nFrom: Bo <bo@example.test>\r\nTo: ann@example.test\r\n"
                                 "Subject: Meeting " +
                                 QByteArray::number(i + 1) + "\r\n\r\nSee you at ten.\r\n.\r\n";
        emit email.pop3->messageStored(i, Module1::storeRetrievedMessage(i, reply));
    }
    email.lstMessages->setCurrentRow(1);
    Module1::SlideInMailbox();
    Module1::OpenViewer();
    MainForm* viewer = Module1::Viewer;
    QVERIFY(viewer);

    // Each text: its window, and the area it stands in there. An inset keeps
    // a control's frame or bevel out of the measure.
    struct Text {
        QString name;
        QWidget* window;
        QRect area;
    };
    QList<Text> texts;
    const auto add = [&](const char* name, QWidget* window, QWidget* control, int inset = 0,
                         QRect area = QRect()) {
        area = (area.isNull() ? control->rect() : area).adjusted(inset, inset, -inset, -inset);
        texts << Text{QLatin1String(name), window,
                      QRect(control->mapTo(window, area.topLeft()), area.size())};
    };
    QListWidget* list = email.lstMessages;
    add("mailbox title", &email, email.Label6);
    add("list row", &email, list->viewport(), 0, list->visualItemRect(list->item(0)));
    add("selected list row", &email, list->viewport(), 0, list->visualItemRect(list->item(1)));
    add("From label", viewer, viewer->Label1);
    add("Subject label", viewer, viewer->Label5);
    add("Body label", viewer, viewer->Label7);
    add("subject", viewer, viewer->txtSubject);
    add("address box", viewer, viewer->txtSender, 3);
    add("body box", viewer, viewer->txtMessage->viewport());
    add("Reply button", viewer, viewer->Command1, 4);

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
