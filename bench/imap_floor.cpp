// The floors of IMAP: the least a client can do, with a blocking socket and
// no parsing beyond finding a tag or "EXISTS". Nothing of the program.
//
//   imap_floor check HOST PORT [plain|tls|starttls] [RUNS]
//       RUNS sessions (default 20, after one warm-up) of LOGIN, EXAMINE
//       INBOX and LOGOUT: the floor of a check that finds nothing new.
//       Prints check_median_ms=, check_min_ms=, messages= (the EXISTS count).
//   imap_floor idle HOST PORT [plain|tls|starttls] COUNT [DELIVER-COMMAND]
//       Logs in, selects INBOX, IDLEs, and prints "exists=N at=SECONDS" (the
//       wall clock, for a harness that delivers itself) for each EXISTS,
//       until COUNT have come. With DELIVER-COMMAND (run by /bin/sh) it
//       delivers each message itself and times its EXISTS from the moment
//       the command returns: the floor of push latency. Prints
//       push_median_ms=, push_max_ms=.
//
// TLS trusts the certificates in SSL_CERT_FILE besides the system's.
//
// A big INBOX in seconds: `scripts/mailhost seed 100000 300` writes the
// Maildir files directly (about 5 s), `scripts/mailhost count` has Dovecot
// index them (well under a second); the first EXAMINE after that still
// builds a cache, which the warm-up session takes.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSslConfiguration>
#include <QSslSocket>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace
{

[[noreturn]] void die(const QByteArray& why)
{
    std::fprintf(stderr, "imap_floor: %s\n", why.constData());
    std::exit(1);
}

class Client
{
public:
    Client(const QString& host, quint16 port, const QByteArray& security)
    {
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.addCaCertificates(qEnvironmentVariable("SSL_CERT_FILE"));
        m_socket.setSslConfiguration(config);
        m_socket.setPeerVerifyName(QStringLiteral("localhost"));
        if (security == "tls") {
            m_socket.connectToHostEncrypted(host, port, QStringLiteral("localhost"));
            if (!m_socket.waitForEncrypted(30000))
                die(m_socket.errorString().toUtf8());
        } else {
            m_socket.connectToHost(host, port);
        }
        line(); // the greeting
        if (security == "starttls") {
            command("S STARTTLS");
            m_socket.startClientEncryption();
            if (!m_socket.waitForEncrypted(30000))
                die(m_socket.errorString().toUtf8());
        }
    }

    // Up to and with the next line end.
    QByteArray line()
    {
        qsizetype end;
        while ((end = m_data.indexOf("\r\n")) < 0)
            read();
        const QByteArray out = m_data.left(end + 2);
        m_data.remove(0, end + 2);
        return out;
    }

    // Sends "TAG ..." and reads to its tagged reply (no literal is expected).
    QByteArray command(const QByteArray& text)
    {
        const QByteArray tag = text.left(text.indexOf(' ') + 1);
        m_socket.write(text + "\r\n");
        QByteArray out;
        for (;;) {
            const QByteArray l = line();
            out += l;
            if (l.startsWith(tag)) {
                if (!l.startsWith(tag + "OK"))
                    die("refused: " + l.trimmed());
                return out;
            }
        }
    }

    void write(const QByteArray& bytes) { m_socket.write(bytes); }

private:
    void read()
    {
        if (m_socket.bytesAvailable() == 0 && !m_socket.waitForReadyRead(60000))
            die("no reply: " + m_socket.errorString().toUtf8());
        m_data += m_socket.readAll();
    }

    QSslSocket m_socket;
    QByteArray m_data;
};

double wallClock()
{
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int check(const QString& host, quint16 port, const QByteArray& security, int runs)
{
    QList<double> times;
    QByteArray exists;
    for (int i = 0; i <= runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        Client c(host, port, security);
        c.command("a LOGIN qbtest qbpass");
        const QByteArray examine = c.command("b EXAMINE INBOX");
        c.command("c LOGOUT");
        if (i > 0) // the first one warms up
            times << timer.nsecsElapsed() / 1e6;
        const qsizetype at = examine.indexOf(" EXISTS\r\n");
        exists = examine.left(at).mid(examine.lastIndexOf("* ", at) + 2);
    }
    std::printf("check_median_ms=%.2f\ncheck_min_ms=%.2f\nmessages=%s\n", median(times),
                *std::min_element(times.begin(), times.end()), exists.constData());
    return 0;
}

int idle(const QString& host, quint16 port, const QByteArray& security, int count,
         const QString& deliver)
{
    Client c(host, port, security);
    c.command("a LOGIN qbtest qbpass");
    c.command("b SELECT INBOX");
    c.write("c IDLE\r\n");
    if (!c.line().startsWith("+"))
        die("IDLE refused");
    QList<double> latencies;
    for (int seen = 0; seen < count;) {
        QElapsedTimer sinceReturn;
        if (!deliver.isEmpty()) {
            if (QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), deliver}) != 0)
                die("the delivery command failed");
            sinceReturn.start();
        }
        // The EXISTS may be here already: the delivery can outrun its command.
        for (;;) {
            const QByteArray l = c.line();
            if (!l.endsWith(" EXISTS\r\n"))
                continue;
            ++seen;
            std::printf("exists=%s at=%.6f\n", l.mid(2, l.indexOf(' ', 2) - 2).constData(),
                        wallClock());
            std::fflush(stdout);
            if (!deliver.isEmpty())
                latencies << sinceReturn.nsecsElapsed() / 1e6;
            break;
        }
    }
    c.write("DONE\r\n");
    c.command("d LOGOUT");
    if (!latencies.isEmpty())
        std::printf("push_median_ms=%.2f\npush_max_ms=%.2f\n", median(latencies),
                    *std::max_element(latencies.begin(), latencies.end()));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 3 || (args[0] != "check" && args[0] != "idle")) {
        std::fprintf(stderr, "usage: imap_floor check HOST PORT [plain|tls|starttls] [RUNS]\n"
                             "       imap_floor idle HOST PORT [plain|tls|starttls] COUNT "
                             "[DELIVER-COMMAND]\n");
        return 2;
    }
    const quint16 port = args[2].toUShort();
    const QByteArray security = args.value(3, QStringLiteral("plain")).toLatin1();
    if (args[0] == "check")
        return check(args[1], port, security, args.value(4, QStringLiteral("20")).toInt());
    return idle(args[1], port, security, args.value(4, QStringLiteral("1")).toInt(), args.value(5));
}
