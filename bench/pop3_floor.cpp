// The floor of retrieval: the least a POP3 client can do. It logs in, reads
// the reply to RETR for every message into memory and quits; no parsing, no
// tables, no log. With "tls" it speaks TLS from the first byte and trusts the
// certificates in SSL_CERT_FILE besides the system's.
//
//   pop3_floor HOST PORT [tls] [user] [password]   prints messages=, bytes=
#include <QCoreApplication>
#include <QSslConfiguration>
#include <QSslSocket>

#include <cstdio>

namespace
{

QSslSocket* socket = nullptr; // made after the application

// Reads until `terminator` ends what has arrived; returns the reply.
QByteArray reply(const QByteArray& terminator)
{
    QByteArray data;
    while (!data.endsWith(terminator)) {
        if (socket->bytesAvailable() == 0 && !socket->waitForReadyRead(30000)) {
            std::fprintf(stderr, "pop3_floor: %s\n", qPrintable(socket->errorString()));
            std::exit(1);
        }
        data += socket->readAll();
    }
    if (!data.startsWith("+OK")) {
        std::fprintf(stderr, "pop3_floor: %s", data.left(200).constData());
        std::exit(1);
    }
    return data;
}

QByteArray command(const QByteArray& line, const QByteArray& terminator = "\r\n")
{
    socket->write(line + "\r\n");
    return reply(terminator);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: pop3_floor HOST PORT [tls] [user] [password]\n");
        return 2;
    }
    const QString host = QString::fromLocal8Bit(argv[1]);
    const quint16 port = QByteArray(argv[2]).toUShort();
    const bool tls = argc > 3 && QByteArray(argv[3]) == "tls";
    const QByteArray user = argc > 4 ? argv[4] : "qbtest";
    const QByteArray password = argc > 5 ? argv[5] : "qbpass";
    QSslSocket connection;
    socket = &connection;
    if (tls) {
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.addCaCertificates(qEnvironmentVariable("SSL_CERT_FILE"));
        socket->setSslConfiguration(config);
        socket->connectToHostEncrypted(host, port);
        if (!socket->waitForEncrypted(30000)) {
            std::fprintf(stderr, "pop3_floor: %s\n", qPrintable(socket->errorString()));
            return 1;
        }
    } else {
        socket->connectToHost(host, port);
    }
    reply("\r\n");
    command("USER " + user);
    command("PASS " + password);
    const int count = command("STAT").split(' ').value(1).toInt();
    QList<QByteArray> messages;
    qint64 bytes = 0;
    for (int i = 1; i <= count; ++i) {
        messages.append(command("RETR " + QByteArray::number(i), "\r\n.\r\n"));
        bytes += messages.last().size();
    }
    command("QUIT");
    std::printf("messages=%d\nbytes=%lld\n", count, static_cast<long long>(bytes));
    return 0;
}
