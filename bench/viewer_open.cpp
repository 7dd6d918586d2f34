// Opening a viewer on one large MIME message: a short text and a base64
// attachment, by default a 7 MB message carrying 5 MB. The message goes
// through the same store a retrieval uses; only the opening is timed.
//
//   QT_QPA_PLATFORM=offscreen viewer_open [ROUNDS] [ATTACHMENT_BYTES]
// Prints key=value lines: the message size, the median and slowest opening,
// and the decoding time of multiparts nested 1000 and 10000 deep.
#include "core/Module1.h"
#include "mime/MessageDisplay.h"
#include "pop3/MessageStore.h"
#include "ui/Email.h"
#include "ui/MainForm.h"
#include "ui/SlideIn.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>

namespace
{

QByteArray reply(qsizetype attachmentBytes)
{
    QByteArray data(attachmentBytes, Qt::Uninitialized);
    QRandomGenerator random{7};
    random.fillRange(reinterpret_cast<quint32*>(data.data()), data.size() / 4);
    const QByteArray encoded = data.toBase64();
    QByteArray base64;
    for (qsizetype at = 0; at < encoded.size(); at += 76)
        base64 += encoded.mid(at, 76) + "\r\n";
    // Quoted-printable text padding the message up to about 7 MB.
    QByteArray text;
    while (text.size() + base64.size() < 7000000)
        text += "Die Zahlen f=C3=BCr M=C3=A4rz, Zeile f=C3=BCr Zeile, wie besprochen.\r\n";
    const QByteArray message =
        "MIME-Version: 1.0\r\nFrom: =?UTF-8?Q?J=C3=B6rg_Bauer?= <jb@example.de>\r\n"
        "To: qbtest@localhost\r\nSubject: =?UTF-8?B?R3LDvMOfZSBhdXMgS8O2bG4=?=\r\n"
        "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
        "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: "
        "quoted-printable\r\n\r\n" +
        text +
        "--b\r\nContent-Type: application/octet-stream\r\nContent-Disposition: attachment; "
        "filename=\"data.bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
        base64 + "--b--\r\n";
    return "+OK " + QByteArray::number(message.size()) + " octets\r\n" + message + ".\r\n";
}

QByteArray nested(int depth)
{
    QByteArray message = "MIME-Version: 1.0\r\nFrom: a@b.test\r\nSubject: deep\r\n";
    for (int i = 0; i < depth; ++i)
        message += "Content-Type: multipart/mixed; boundary=b" + QByteArray::number(i) +
                   "\r\n\r\n--b" + QByteArray::number(i) + "\r\n";
    message += "Content-Type: text/plain\r\n\r\nhello\r\n";
    for (int i = depth - 1; i >= 0; --i)
        message += "--b" + QByteArray::number(i) + "--\r\n";
    return message;
}

double decodeMs(const QByteArray& message)
{
    QElapsedTimer clock;
    clock.start();
    Mime::displayMessage(message, QString());
    return clock.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int rounds = args.size() > 1 ? args[1].toInt() : 15;
    const qsizetype attachment = args.size() > 2 ? args[2].toLongLong() : 5000000;
    SlideIn::setPauseForTest(0);
    QListWidget* list = Email::instance().lstMessages;
    const QByteArray bytes = reply(attachment);
    list->addItem(Module1::storeRetrievedMessage(0, bytes));
    list->setCurrentRow(0);

    QList<double> times;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        Module1::OpenViewer();
        times << clock.nsecsElapsed() / 1e6;
        delete Module1::Viewer;
    }
    std::sort(times.begin(), times.end());
    std::printf("message_mb=%.2f\nattachment_mb=%.2f\nrounds=%d\nviewer_open_median_ms=%.1f\n"
                "viewer_open_max_ms=%.1f\n",
                bytes.size() / 1e6, attachment / 1e6, rounds, times[times.size() / 2],
                times.back());
    for (const int depth : {1000, 10000})
        std::printf("nested_%d_decode_ms=%.1f\n", depth, decodeMs(nested(depth)));
    std::fflush(stdout);
    std::_Exit(0); // closing the mailbox window would end the program its own way
}
