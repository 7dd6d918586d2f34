// The keyring layer against a real gnome-keyring on a private session bus,
// read back with secret-tool, an independent Secret Service client: what is
// stored is there under our service with the expected attributes and goes
// when removed; with no keyring running, or a locked one, every request says
// why in plain words and nothing stored before is lost; reads of a locked
// keyring ask for the unlock once between them, not once each.
//
// The daemon lives in a home of the test's own (its keyring files, its
// control socket) and on a bus of the test's own, where nothing starts by
// activation: the user's own keyring is never reached.
#include "keyring/Keyring.h"
#include "support/Prerequisite.h"
#include "support/PrivateBus.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>
#include <signal.h>

namespace
{

const QString SecretsName = QStringLiteral("org.freedesktop.secrets");
const QString LoginCollection = QStringLiteral("/org/freedesktop/secrets/collection/login");
const QByteArray UnlockPassword = "unlock-pw"; // an empty one would leave the keyring locked

// A secret as the Secret Service passes it: (session, parameters, value, type).
struct Secret {
    QDBusObjectPath session;
    QByteArray parameters;
    QByteArray value;
    QString contentType;
};

QDBusArgument& operator<<(QDBusArgument& arg, const Secret& secret)
{
    arg.beginStructure();
    arg << secret.session << secret.parameters << secret.value << secret.contentType;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, Secret& secret)
{
    arg.beginStructure();
    arg >> secret.session >> secret.parameters >> secret.value >> secret.contentType;
    arg.endStructure();
    return arg;
}

} // namespace

Q_DECLARE_METATYPE(Secret)

class TestKeyring : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void noKeyringRunning();
    void roundTrip();
    void lockedKeyring();
    void keyringStopped();

private:
    // Runs one request and waits for its answer.
    KeyringReply wait(const std::function<void(Keyring::Done)>& request);
    KeyringReply store(const KeyringKey& key, const QString& password);
    KeyringReply read(const KeyringKey& key);
    KeyringReply remove(const KeyringKey& key);
    KeyringReply probe();

    // secret-tool with `args`: its output, and its exit code in `code`.
    QString secretTool(const QStringList& args, int* code = nullptr);
    QString lookup(const KeyringKey& key, int* code = nullptr);
    QString startDaemon();
    void stopDaemon();
    QDBusConnection testBus() const;
    QString lockLogin();
    QString unlockLogin();

    QTemporaryDir m_home;
    PrivateBus m_bus;
    qint64 m_daemon = 0;
    Keyring m_keyring;
};

void TestKeyring::initTestCase()
{
    QB_REQUIRE_OR_SKIP(Prerequisite::program(QStringLiteral("gnome-keyring-daemon"),
                                             QStringLiteral("gnome-keyring")));
    QB_REQUIRE_OR_SKIP(
        Prerequisite::program(QStringLiteral("secret-tool"), QStringLiteral("libsecret-tools")));
    QB_REQUIRE_OR_SKIP(
        Prerequisite::program(QStringLiteral("dbus-monitor"), QStringLiteral("dbus-bin")));
    QB_REQUIRE_OR_SKIP(m_bus.start());
    m_bus.becomeSessionBus();

    // The home, keyring files and control socket of this test alone; no
    // desktop that would make the library prefer KWallet; no display on
    // which a prompter could open.
    QVERIFY(m_home.isValid());
    const QString runtime = m_home.filePath(QStringLiteral("run"));
    QVERIFY(QDir().mkpath(runtime));
    QVERIFY(QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("HOME", QFile::encodeName(m_home.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("data"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    for (const char* name :
         {"XDG_CURRENT_DESKTOP", "KDE_SESSION_VERSION", "KDE_FULL_SESSION", "DESKTOP_SESSION",
          "GNOME_KEYRING_CONTROL", "DISPLAY", "WAYLAND_DISPLAY"})
        qunsetenv(name);
    qDBusRegisterMetaType<Secret>();
}

void TestKeyring::cleanupTestCase()
{
    stopDaemon();
}

KeyringReply TestKeyring::wait(const std::function<void(Keyring::Done)>& request)
{
    std::optional<KeyringReply> answer;
    request([&answer](const KeyringReply& reply) { answer = reply; });
    if (answer)
        QTest::qFail("the keyring answered inside the call", __FILE__, __LINE__);
    if (!QTest::qWaitFor([&answer] { return answer.has_value(); }, 30000)) {
        QTest::qFail("the keyring never answered", __FILE__, __LINE__);
        return KeyringReply();
    }
    return *answer;
}

KeyringReply TestKeyring::store(const KeyringKey& key, const QString& password)
{
    return wait([&](Keyring::Done done) { m_keyring.store(key, password, this, done); });
}

KeyringReply TestKeyring::read(const KeyringKey& key)
{
    return wait([&](Keyring::Done done) { m_keyring.read(key, this, done); });
}

KeyringReply TestKeyring::remove(const KeyringKey& key)
{
    return wait([&](Keyring::Done done) { m_keyring.remove(key, this, done); });
}

KeyringReply TestKeyring::probe()
{
    return wait([&](Keyring::Done done) { m_keyring.probe(this, done); });
}

QString TestKeyring::secretTool(const QStringList& args, int* code)
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"), args);
    if (!tool.waitForFinished(20000))
        tool.kill();
    if (code)
        *code = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    return QString::fromUtf8(tool.readAllStandardOutput() + tool.readAllStandardError());
}

QString TestKeyring::lookup(const KeyringKey& key, int* code)
{
    return secretTool({QStringLiteral("lookup"), QStringLiteral("server"),
                       QStringLiteral("Quillbeacon"), QStringLiteral("user"), key.text()},
                      code);
}

QString TestKeyring::startDaemon()
{
    // A second one would wait for the name and take over when the first
    // is stopped.
    if (m_daemon)
        return {};
    QProcess daemon;
    daemon.start(QStringLiteral("gnome-keyring-daemon"),
                 {QStringLiteral("--unlock"), QStringLiteral("--components=secrets")});
    if (!daemon.waitForStarted(10000))
        return QStringLiteral("gnome-keyring-daemon did not start");
    daemon.write(UnlockPassword);
    daemon.closeWriteChannel();
    // It forks the daemon off and ends.
    if (!daemon.waitForFinished(20000) || daemon.exitCode() != 0)
        return QStringLiteral("gnome-keyring-daemon --unlock failed: ") +
               QString::fromUtf8(daemon.readAllStandardError());
    for (int i = 0; i < 200 && !m_daemon; ++i) {
        m_daemon = m_bus.ownerPid(SecretsName);
        if (!m_daemon)
            QTest::qWait(50);
    }
    return m_daemon ? QString() : QStringLiteral("the keyring never took its name on the bus");
}

void TestKeyring::stopDaemon()
{
    if (!m_daemon)
        return;
    ::kill(static_cast<pid_t>(m_daemon), SIGTERM);
    m_daemon = 0;
    for (int i = 0; i < 200 && m_bus.hasOwner(SecretsName); ++i)
        QTest::qWait(50);
}

QDBusConnection TestKeyring::testBus() const
{
    return QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("tst-keyring"));
}

QString TestKeyring::lockLogin()
{
    QDBusMessage lock = QDBusMessage::createMethodCall(
        SecretsName, QStringLiteral("/org/freedesktop/secrets"),
        QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("Lock"));
    lock << QVariant::fromValue(QList<QDBusObjectPath>{QDBusObjectPath(LoginCollection)});
    const QDBusMessage reply = testBus().call(lock);
    return reply.type() == QDBusMessage::ErrorMessage ? reply.errorMessage() : QString();
}

// The way gnome-keyring's own login step unlocks: the master password, over
// a session of this connection.
QString TestKeyring::unlockLogin()
{
    QDBusConnection bus = testBus();
    QDBusMessage open = QDBusMessage::createMethodCall(
        SecretsName, QStringLiteral("/org/freedesktop/secrets"),
        QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("OpenSession"));
    open << QStringLiteral("plain") << QVariant::fromValue(QDBusVariant(QString()));
    const QDBusMessage opened = bus.call(open);
    if (opened.type() == QDBusMessage::ErrorMessage || opened.arguments().size() != 2)
        return QStringLiteral("OpenSession: ") + opened.errorMessage();
    const auto session = opened.arguments().at(1).value<QDBusObjectPath>();
    QDBusMessage unlock = QDBusMessage::createMethodCall(
        SecretsName, QStringLiteral("/org/freedesktop/secrets"),
        QStringLiteral("org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface"),
        QStringLiteral("UnlockWithMasterPassword"));
    unlock << QVariant::fromValue(QDBusObjectPath(LoginCollection))
           << QVariant::fromValue(
                  Secret{session, {}, UnlockPassword, QStringLiteral("text/plain")});
    const QDBusMessage reply = bus.call(unlock);
    return reply.type() == QDBusMessage::ErrorMessage ? reply.errorMessage() : QString();
}

void TestKeyring::noKeyringRunning()
{
    const KeyringKey key = KeyringKey::forAccount(QStringLiteral("1"));
    for (const KeyringReply& reply :
         {probe(), store(key, QStringLiteral("secret")), read(key), remove(key)}) {
        QCOMPARE(reply.outcome, KeyringReply::Outcome::NoKeyring);
        QCOMPARE(reply.reason(), QStringLiteral("No keyring answered"));
    }
}

void TestKeyring::roundTrip()
{
    QB_REQUIRE_OR_SKIP(startDaemon());
    QCOMPARE(probe().outcome, KeyringReply::Outcome::Done);
    // The probe leaves nothing behind.
    QCOMPARE(secretTool({QStringLiteral("search"), QStringLiteral("--all"),
                         QStringLiteral("server"), QStringLiteral("Quillbeacon")})
                 .trimmed(),
             QString());

    const KeyringKey login = KeyringKey::forLogin(QStringLiteral("pop3s://mail.example.test:995"),
                                                  QStringLiteral("ann"));
    const KeyringKey account = KeyringKey::forAccount(QStringLiteral("2"));
    QVERIFY(login != account);
    const QString password = QStringLiteral("pässwörd, with \"quotes\" and 1,2");
    QVERIFY(store(login, password).ok());
    QVERIFY(store(account, QStringLiteral("second")).ok());

    int code = 0;
    QCOMPARE(lookup(login, &code), password);
    QCOMPARE(code, 0);
    const QString item = secretTool(
        {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("user"), login.text()});
    QVERIFY2(item.contains(QStringLiteral("label = Quillbeacon\n")), qPrintable(item));
    QVERIFY(item.contains(QStringLiteral("attribute.server = Quillbeacon\n")));
    QVERIFY(item.contains(
        QStringLiteral("attribute.user = login pop3s://mail.example.test:995 ann\n")));
    QVERIFY(item.contains(QStringLiteral("attribute.type = plaintext\n")));
    QCOMPARE(read(login).password, password);

    // A second store replaces the item: still one, with the new secret.
    QVERIFY(store(login, QStringLiteral("new")).ok());
    QCOMPARE(lookup(login), QStringLiteral("new"));
    QCOMPARE(secretTool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("user"),
                         login.text()})
                 .count(QStringLiteral("label = ")),
             1);
    // An empty password is a password.
    QVERIFY(store(account, QString()).ok());
    const KeyringReply empty = read(account);
    QCOMPARE(empty.outcome, KeyringReply::Outcome::Done);
    QCOMPARE(empty.password, QString());

    QVERIFY(remove(login).ok());
    lookup(login, &code);
    QCOMPARE(code, 1);
    const KeyringReply gone = read(login);
    QCOMPARE(gone.outcome, KeyringReply::Outcome::NotFound);
    QCOMPARE(gone.reason(), QStringLiteral("The keyring holds no password for this account"));
    QVERIFY(remove(login).ok()); // nothing there: done all the same
    QVERIFY(remove(account).ok());
}

void TestKeyring::lockedKeyring()
{
    QB_REQUIRE_OR_SKIP(startDaemon());
    const KeyringKey first = KeyringKey::forAccount(QStringLiteral("locked-1"));
    const KeyringKey second = KeyringKey::forAccount(QStringLiteral("locked-2"));
    QVERIFY(store(first, QStringLiteral("one")).ok());
    QVERIFY(store(second, QStringLiteral("two")).ok());
    QCOMPARE(lockLogin(), QString());

    // Every call to a prompt, seen by a monitor on the bus.
    QProcess monitor;
    monitor.start(QStringLiteral("dbus-monitor"), {QStringLiteral("--address"), m_bus.address()});
    QByteArray seen;
    const auto prompts = [&] {
        seen += monitor.readAllStandardOutput();
        return seen.count("interface=org.freedesktop.Secret.Prompt; member=Prompt");
    };
    // It is listening once it has given up its own name.
    QTRY_VERIFY_WITH_TIMEOUT((prompts(), seen.contains("member=NameLost")) ||
                                 monitor.state() == QProcess::NotRunning,
                             10000);
    QVERIFY2(monitor.state() == QProcess::Running, monitor.readAllStandardError().constData());

    // Three readers at once, two of them for the same password. The first
    // has the keyring ask for the unlock (no prompter runs here, so the
    // question goes unanswered at once); the others take that answer.
    QList<KeyringReply> answers;
    const auto collect = [&answers](const KeyringReply& reply) { answers << reply; };
    m_keyring.read(first, this, collect);
    m_keyring.read(first, this, collect);
    m_keyring.read(second, this, collect);
    QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 3, 30000);
    for (const KeyringReply& reply : answers) {
        QCOMPARE(reply.outcome, KeyringReply::Outcome::Locked);
        QCOMPARE(reply.reason(), QStringLiteral("The keyring is locked"));
        QVERIFY(reply.password.isEmpty());
    }
    QTest::qWait(200);
    QCOMPARE(prompts(), 1);
    // A later read does not ask again while the keyring stays locked.
    QCOMPARE(read(second).outcome, KeyringReply::Outcome::Locked);
    QTest::qWait(200);
    QCOMPARE(prompts(), 1);

    // A store asks (the user asked for it) and, unanswered, changes
    // nothing; a removal says locked and leaves the item where it was.
    QCOMPARE(store(first, QStringLiteral("changed")).outcome, KeyringReply::Outcome::Locked);
    QCOMPARE(remove(second).outcome, KeyringReply::Outcome::Locked);
    QVERIFY(secretTool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("user"),
                        second.text()})
                .contains(QStringLiteral("attribute.user = account locked-2")));
    monitor.terminate();
    monitor.waitForFinished(5000);

    // Unlocked elsewhere, the keyring is read again, and holds what it held.
    QCOMPARE(unlockLogin(), QString());
    const KeyringReply afterUnlock = read(first);
    QCOMPARE(afterUnlock.outcome, KeyringReply::Outcome::Done);
    QCOMPARE(afterUnlock.password, QStringLiteral("one"));
    QCOMPARE(read(second).password, QStringLiteral("two"));
}

void TestKeyring::keyringStopped()
{
    QB_REQUIRE_OR_SKIP(startDaemon());
    const KeyringKey key = KeyringKey::forAccount(QStringLiteral("kept"));
    QVERIFY(store(key, QStringLiteral("old")).ok());
    stopDaemon();

    const KeyringReply failed = store(key, QStringLiteral("new"));
    QCOMPARE(failed.outcome, KeyringReply::Outcome::NoKeyring);
    QCOMPARE(failed.reason(), QStringLiteral("No keyring answered"));
    QCOMPARE(probe().outcome, KeyringReply::Outcome::NoKeyring);

    // The keyring back from its files: the password from before is there.
    QB_REQUIRE_OR_SKIP(startDaemon());
    QCOMPARE(lookup(key), QStringLiteral("old"));
    const KeyringReply again = read(key);
    QCOMPARE(again.outcome, KeyringReply::Outcome::Done);
    QCOMPARE(again.password, QStringLiteral("old"));
}

QTEST_GUILESS_MAIN(TestKeyring)
#include "tst_keyring.moc"
