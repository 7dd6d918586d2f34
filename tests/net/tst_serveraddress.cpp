// The server boxes' text, and the Winsock numbers that socket errors show as.

#include "net/ServerAddress.h"
#include "net/WinsockError.h"

#include <QtTest>

class TestServerAddress : public QObject
{
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("host"); // empty: refused
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("given");
        QTest::newRow("name") << " pop.example.com "
                              << "pop.example.com" << 110 << false;
        QTest::newRow("name:port") << "pop.example.com:995"
                                   << "pop.example.com" << 995 << true;
        QTest::newRow("IPv4:port") << "127.0.0.1:1"
                                   << "127.0.0.1" << 1 << true;
        QTest::newRow("bare IPv6") << "::1"
                                   << "::1" << 110 << false;
        QTest::newRow("bare IPv6 full") << "2001:db8::25"
                                        << "2001:db8::25" << 110 << false;
        QTest::newRow("[IPv6]:port") << "[2001:db8::25]:65535"
                                     << "2001:db8::25" << 65535 << true;
        QTest::newRow("[IPv6]") << "[::1]"
                                << "::1" << 110 << false;
        QTest::newRow("port 0") << "host:0"
                                << "" << 0 << false;
        QTest::newRow("port 65536") << "host:65536"
                                    << "" << 0 << false;
        QTest::newRow("port word") << "host:pop3"
                                   << "" << 0 << false;
        QTest::newRow("port signed") << "host:+995"
                                     << "" << 0 << false;
        QTest::newRow("port empty") << "host:"
                                    << "" << 0 << false;
        QTest::newRow("no host") << ":995"
                                 << "" << 0 << false;
        QTest::newRow("unclosed") << "[::1:995"
                                  << "" << 0 << false;
        QTest::newRow("after bracket") << "[::1]995"
                                       << "" << 0 << false;
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(bool, given);
        QString problem;
        const std::optional<ServerAddress> address = ServerAddress::parse(text, 110, &problem);
        if (host.isEmpty()) {
            QVERIFY(!address);
            // The message names the bad text.
            QVERIFY2(problem.contains(text.trimmed()), qPrintable(problem));
            return;
        }
        QVERIFY2(address, qPrintable(problem));
        QCOMPARE(address->host, host);
        QCOMPARE(int(address->port), port);
        QCOMPARE(address->portGiven, given);
    }

    // Every socket error has its Winsock number; none reads as "no error".
    void winsockNumbers()
    {
        using E = QAbstractSocket::SocketError;
        QCOMPARE(WinsockError::number(E::ConnectionRefusedError), 10061);
        QCOMPARE(WinsockError::number(E::HostNotFoundError), 11001);
        QCOMPARE(WinsockError::number(E::SocketTimeoutError), 10060);
        QCOMPARE(WinsockError::number(E::RemoteHostClosedError), 10054);
        QCOMPARE(WinsockError::number(E::SslHandshakeFailedError), 10053);
        for (int e = int(E::UnknownSocketError); e <= int(E::TemporaryError); ++e) {
            const int number = WinsockError::number(E(e));
            QVERIFY2((number >= 10004 && number <= 10071) || number == 11001,
                     qPrintable(QString::number(e)));
        }
    }
};

QTEST_MAIN(TestServerAddress)
#include "tst_serveraddress.moc"
