#include "support/Mailhost.h"

#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtDebug>

namespace Mailhost
{
namespace
{

QString script()
{
    return qEnvironmentVariable("QB_MAILHOST");
}

// Runs the script; the output on success, nothing (and a warning) on failure.
// Seeding 100 MB or waiting for a delivery can take a while: generous limit.
bool run(const QStringList& arguments, QByteArray* output = nullptr, int timeoutMs = 300000)
{
    if (script().isEmpty()) {
        qWarning("Mailhost: QB_MAILHOST is not set");
        return false;
    }
    QProcess process;
    process.start(QStringLiteral("bash"), QStringList{script()} + arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        qWarning() << "Mailhost:" << arguments << "did not finish";
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning().noquote() << "Mailhost:" << arguments.join(QLatin1Char(' '))
                             << "failed:" << process.readAllStandardError().trimmed();
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return true;
}

bool accepts(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QString::fromLatin1(Host), port);
    const bool connected = socket.waitForConnected(2000);
    socket.abort();
    return connected;
}

} // namespace

bool available()
{
    return missing().isEmpty();
}

QString missing()
{
    if (script().isEmpty())
        return QStringLiteral("QB_MAILHOST does not name scripts/mailhost");
    for (quint16 port : {Pop3Port, Pop3sPort, SmtpPort, SubmissionPort, SmtpsPort}) {
        if (!accepts(port))
            return QStringLiteral("the local mail host does not accept connections on %1:%2 "
                                  "(scripts/mailhost start)")
                .arg(QString::fromLatin1(Host))
                .arg(port);
    }
    return {};
}

bool clear()
{
    return run({QStringLiteral("clear")});
}

bool expunge(int number)
{
    return run({QStringLiteral("expunge"), QString::number(number)});
}

bool seed(int n, int size)
{
    return run({QStringLiteral("seed"), QString::number(n), QString::number(size)});
}

bool add(const QList<QByteArray>& messages)
{
    if (messages.isEmpty())
        return true;
    QTemporaryDir dir;
    if (!dir.isValid()) {
        qWarning() << "Mailhost: no temporary folder:" << dir.errorString();
        return false;
    }
    QStringList arguments{QStringLiteral("add")};
    for (qsizetype i = 0; i < messages.size(); ++i) {
        const QString path = dir.filePath(QStringLiteral("message%1.eml").arg(i + 1));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(messages[i]) != messages[i].size()) {
            qWarning() << "Mailhost: cannot write" << path;
            return false;
        }
        arguments << path;
    }
    return run(arguments);
}

int count()
{
    QByteArray output;
    bool ok = false;
    const int n = run({QStringLiteral("count")}, &output) ? output.trimmed().toInt(&ok) : -1;
    return ok ? n : -1;
}

bool waitCount(int n, int seconds)
{
    return run({QStringLiteral("wait-count"), QString::number(n), QString::number(seconds)},
               nullptr, (seconds + 60) * 1000);
}

QString maildir()
{
    QByteArray output;
    return run({QStringLiteral("maildir")}, &output) ? QString::fromUtf8(output.trimmed())
                                                     : QString();
}

QStringList list()
{
    QByteArray output;
    if (!run({QStringLiteral("list")}, &output))
        return {};
    return QString::fromUtf8(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QByteArray readMessage(int number)
{
    const QStringList files = list();
    if (number < 1 || number > files.size())
        return {};
    QFile file(files[number - 1]);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool stopPop3()
{
    return run({QStringLiteral("stop-pop3")});
}

bool startPop3()
{
    return run({QStringLiteral("start-pop3")});
}

bool stopSmtp()
{
    return run({QStringLiteral("stop-smtp")});
}

bool startSmtp()
{
    return run({QStringLiteral("start-smtp")});
}

QString caFile()
{
    QByteArray output;
    return run({QStringLiteral("ca")}, &output) ? QString::fromUtf8(output.trimmed()) : QString();
}

bool setCertificate(const QString& name)
{
    return run({QStringLiteral("cert"), name});
}

bool setStartTls(bool on)
{
    return run({QStringLiteral("starttls"), on ? QStringLiteral("on") : QStringLiteral("off")});
}

int logins()
{
    QByteArray output;
    bool ok = false;
    const int n = run({QStringLiteral("logins")}, &output) ? output.trimmed().toInt(&ok) : -1;
    return ok ? n : -1;
}

} // namespace Mailhost
