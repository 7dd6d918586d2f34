// The mailbox window with ten messages whose subjects are 100 KB each: how
// long it takes to slide in (with its real 20 ms pauses, 93 steps at the
// design size), to show a row's tooltip and to open a viewer on one of them.
// The messages go through the same store and rows a retrieval uses.
//
//   QT_QPA_PLATFORM=offscreen long_subjects [MESSAGES] [SUBJECT_BYTES]
// Prints key=value lines.
#include "core/Module1.h"
#include "pop3/MessageStore.h"
#include "ui/Email.h"
#include "ui/MainForm.h"
#include "ui/SlideIn.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QToolTip>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int messages = args.size() > 1 ? args[1].toInt() : 10;
    const int subjectBytes = args.size() > 2 ? args[2].toInt() : 100000;

    Email& email = Email::instance();
    for (int i = 0; i < messages; ++i) {
        QByteArray subject = "Message " + QByteArray::number(i + 1) + " ";
        while (subject.size() < subjectBytes)
            subject += "and a very long subject line ";
        subject.truncate(subjectBytes);
        const QByteArray reply =
            "+OK\r\nFrom: a@example.test\r\nSubject: " + subject + "\r\n\r\nbody\r\n.\r\n";
        email.addRow(Module1::storeRetrievedMessage(i, reply));
    }
    QCoreApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    Module1::SlideInMailbox();
    QCoreApplication::processEvents(); // the paint after the last step
    const double slideMs = clock.nsecsElapsed() / 1e6;

    clock.restart();
    const QRect row = email.lstMessages->visualItemRect(email.lstMessages->item(0));
    QToolTip::showText(email.lstMessages->viewport()->mapToGlobal(row.center()),
                       email.lstMessages->item(0)->toolTip(), email.lstMessages->viewport());
    QCoreApplication::processEvents();
    const double tipMs = clock.nsecsElapsed() / 1e6;
    QToolTip::hideText();

    SlideIn::setPauseForTest(0);
    email.lstMessages->setCurrentRow(0);
    clock.restart();
    Module1::OpenViewer();
    QCoreApplication::processEvents();
    const double viewerMs = clock.nsecsElapsed() / 1e6;

    std::printf("messages=%d\nsubject_bytes=%d\nslide_in_ms=%.0f\nslide_in_pauses_ms=%d\n"
                "row_tooltip_ms=%.1f\nviewer_open_ms=%.1f\n",
                messages, subjectBytes, slideMs, 93 * 20, tipMs, viewerMs);
    std::fflush(stdout);
    std::_Exit(0); // closing the mailbox window would end the program its own way
}
