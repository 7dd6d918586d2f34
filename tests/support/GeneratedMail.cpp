#include "support/GeneratedMail.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

namespace GeneratedMail
{
namespace
{

// Line ends and trailing white space are not what the comparison is about.
QString normalised(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

QString differ(const char* what, const QString& got, const QString& want)
{
    return QStringLiteral("%1: got \"%2\", Python says \"%3\"").arg(QLatin1String(what), got, want);
}

} // namespace

QList<Message> make()
{
    QTemporaryDir dir;
    const QString script = qEnvironmentVariable("QB_SOURCE_DIR") + "/tests/mime/make_messages.py";
    QProcess python;
    python.start(QStringLiteral("python3"), {script, dir.path()});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        qWarning() << "make_messages.py failed:" << python.readAllStandardError();
        return {};
    }
    QFile table(dir.filePath(QStringLiteral("expected.json")));
    if (!table.open(QIODevice::ReadOnly))
        return {};
    QList<Message> messages;
    for (const QJsonValue& entry : QJsonDocument::fromJson(table.readAll()).array()) {
        const QJsonObject expected = entry.toObject();
        QFile file(dir.filePath(expected[QLatin1String("file")].toString()));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        messages << Message{expected[QLatin1String("kind")].toString(), file.readAll(), expected};
    }
    return messages;
}

QList<QByteArray> demoMessages(QByteArray* picture)
{
    const QString source = qEnvironmentVariable("QB_SOURCE_DIR");
    QList<QByteArray> messages;
    for (int n = 1; n <= 4; ++n) {
        QFile file(source + QStringLiteral("/packaging/demo/mail/%1.eml").arg(n));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        messages << file.readAll();
    }
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("beacon.png"));
    if (!QFile::copy(source + QStringLiteral("/src/ui/images/app-48.png"), copy) ||
        !QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                         QFile::ReadOther))
        return {};
    QFile png(copy);
    png.open(QIODevice::ReadOnly);
    *picture = png.readAll();
    QProcess uuencode;
    uuencode.start(QStringLiteral("uuencode"), {copy, QStringLiteral("beacon.png")});
    if (!uuencode.waitForFinished(10000) || uuencode.exitCode() != 0) {
        qWarning() << "uuencode failed:" << uuencode.readAllStandardError();
        return {};
    }
    messages[2] += uuencode.readAllStandardOutput();
    return messages;
}

QByteArray replyFor(const QByteArray& message)
{
    QByteArray reply = "+OK " + QByteArray::number(message.size()) + " octets\r\n";
    for (const QByteArray& line : message.split('\n')) {
        if (line.startsWith('.'))
            reply += '.';
        reply += line + '\n';
    }
    reply.chop(1);
    if (!reply.endsWith("\r\n"))
        reply += "\r\n";
    return reply + ".\r\n";
}

QString mismatch(const Message& message, const QString& row, const QString& subject,
                 const QString& from, const QString& body,
                 const QList<Mime::Attachment>& attachments)
{
    const QJsonObject& want = message.expected;
    const QString wantSubject = want[QLatin1String("subject")].toString();
    if (row != wantSubject)
        return differ("list row", row, wantSubject);
    if (subject != wantSubject)
        return differ("subject", subject, wantSubject);
    if (from != want[QLatin1String("from")].toString())
        return differ("from", from, want[QLatin1String("from")].toString());

    QString wantBody = want[QLatin1String("body")].toString();
    if (want.contains(QLatin1String("lines"))) {
        // The HTML reader's paragraphs, each a line of its own, nothing else.
        QStringList lines;
        for (const QString& line : normalised(body).split(u'\n'))
            if (!line.trimmed().isEmpty())
                lines << line.trimmed();
        wantBody.clear();
        for (const QJsonValue& line : want[QLatin1String("lines")].toArray())
            wantBody += line.toString() + u'\n';
        if (lines.join(u'\n') != normalised(wantBody))
            return differ("html body", lines.join(u'\n'), normalised(wantBody));
    } else if (normalised(body) != normalised(wantBody)) {
        return differ("body", normalised(body), normalised(wantBody));
    }

    QStringList got, wanted;
    for (const Mime::Attachment& file : attachments)
        got << QStringLiteral("%1 %2").arg(file.name).arg(file.size);
    for (const QJsonValue& file : want[QLatin1String("attachments")].toArray())
        wanted << QStringLiteral("%1 %2")
                      .arg(file[QLatin1String("name")].toString())
                      .arg(file[QLatin1String("size")].toInt());
    if (got != wanted)
        return differ("attachments", got.join(u','), wanted.join(u','));
    return QString();
}

} // namespace GeneratedMail
