// The fake server that the dialogue tests rely on: it must send pieces as
// separate arrivals, check lines exactly and notice a client that hangs up.
#include "support/ScriptedServer.h"

#include <QTcpSocket>
#include <QtTest>

class TestScriptedServer : public QObject
{
    Q_OBJECT
private slots:
    void playsTranscript();
    void reportsMismatchAndHangUp();
};

void TestScriptedServer::playsTranscript()
{
    ScriptedServer server;
    server.send("+OK hi\r\n")
        .expectLine("USER a")
        .sendInPieces("+OK\r\n", 1)
        .expectUntil("\r\n.\r\n")
        .closeConnection();
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.port());
    QVERIFY(client.waitForConnected(3000));
    QTRY_COMPARE(client.bytesAvailable(), qint64(8));
    QCOMPARE(client.readAll(), QByteArray("+OK hi\r\n"));
    client.write("USER a\r\n");
    QByteArray got;
    int arrivals = 0;
    connect(&client, &QTcpSocket::readyRead, this, [&] {
        got += client.readAll();
        ++arrivals;
    });
    QTRY_COMPARE(got, QByteArray("+OK\r\n"));
    QVERIFY(arrivals >= 3); // five one-byte writes rarely merge into fewer than three
    client.write("line\r\n.\r\n");
    QVERIFY(server.waitForScriptDone(3000));
    QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(server.received(), QByteArray("USER a\r\nline\r\n.\r\n"));
    QCOMPARE(server.mismatches(), QStringList());
    QVERIFY(!server.clientDisconnected());
}

void TestScriptedServer::reportsMismatchAndHangUp()
{
    ScriptedServer server;
    server.expectLine("USER a").expectLine("PASS b").silence();
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.port());
    QVERIFY(client.waitForConnected(3000));
    client.write("USER x\r\n");
    QVERIFY(server.waitForReceived("USER x\r\n", 3000));
    client.disconnectFromHost();
    QVERIFY(server.waitForDisconnect(3000));
    QVERIFY(!server.scriptDone());
    QCOMPARE(server.mismatches().size(), 2);
    QVERIFY(server.mismatches().at(0).contains("USER x"));
}

QTEST_GUILESS_MAIN(TestScriptedServer)
#include "tst_scriptedserver.moc"
