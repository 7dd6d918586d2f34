#include "autocheck/AutoCheck.h"

#include "core/Log.h"
#include "core/ReleaseMemory.h"
#include "mime/MessageDisplay.h"
#include "net/PlainTextConsent.h"
#include "pop3/MessageStore.h"
#include "pop3/Pop3Client.h"
#include "pop3/Pop3Session.h"

#include <QNetworkInformation>
#include <QTime>

namespace
{

// "Ann Example <ann@example.test>" -> "Ann Example"; a bare address stays.
QString senderName(const QString& from)
{
    const qsizetype angle = from.indexOf(QLatin1Char('<'));
    if (angle < 0)
        return from.trimmed();
    QString name = from.left(angle).trimmed();
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')))
        name = name.mid(1, name.size() - 2).trimmed();
    if (!name.isEmpty())
        return name;
    const qsizetype close = from.indexOf(QLatin1Char('>'), angle);
    return from.mid(angle + 1, close < 0 ? -1 : close - angle - 1).trimmed();
}

} // namespace

AutoCheck::AutoCheck(QObject* parent) : QObject(parent), m_connection(this)
{
    // A check nobody asked for never puts a question to the user.
    m_connection.setAsksAboutCertificates(false);
    connect(&m_connection, &MailConnection::dataArrived, this, &AutoCheck::dataArrived);
    connect(&m_connection, &MailConnection::failed, this,
            [this](const QString& reason) { runActions(m_dialogue.connectionFailed(reason)); });
    connect(&m_connection, &MailConnection::timedOut, this, [this] {
        runActions(m_dialogue.connectionFailed(
            QStringLiteral("Connection timed out: no data from the server for %1 seconds.")
                .arg(m_idleTimeoutMs / 1000.0)));
    });
    connect(&m_schedule, &CheckSchedule::due, this, &AutoCheck::due);
    m_busyRetry.setSingleShot(true);
    connect(&m_busyRetry, &QTimer::timeout, this, &AutoCheck::due);
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &AutoCheck::deadlinePassed);

    // Where the platform tells when the network comes back, the check that
    // is due (or the one that failed for want of it) runs at once.
    if (QNetworkInformation::instance() ||
        QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, this,
                &AutoCheck::networkChanged);
    }
}

QString AutoCheck::countText(int n)
{
    return n == 1 ? QStringLiteral("1 new message") : QStringLiteral("%1 new messages").arg(n);
}

QString AutoCheck::noticeBody(const QStringList& lines, int total)
{
    QStringList shown = lines.mid(0, NoticeLines);
    const int more = total - int(shown.size());
    if (more > 0)
        shown << QStringLiteral("and %1 more").arg(more);
    return shown.join(QLatin1Char('\n'));
}

QString AutoCheck::quotedReply(const QString& text)
{
    QString line = text;
    for (QChar& c : line) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    }
    line = line.simplified();
    if (line.size() <= QuotedReplyLength)
        return line;
    qsizetype cut = QuotedReplyLength;
    if (line.at(cut - 1).isHighSurrogate())
        --cut; // never half a character
    return line.left(cut) + QChar(0x2026);
}

void AutoCheck::configure(const QString& server, const QString& user, const QString& password,
                          int seconds)
{
    abort();
    m_busyRetry.stop();
    m_server = server;
    m_user = user;
    m_password = password;
    m_paused = false;
    m_lastFailed = false;
    if (seconds > 0 && !server.trimmed().isEmpty()) {
        m_schedule.start(seconds, m_firstCheckMs);
    } else {
        m_schedule.stop();
        m_toolTip = idleToolTip();
        emit toolTipChanged(m_toolTip);
    }
}

void AutoCheck::abort()
{
    if (!m_dialogue.running())
        return;
    ++m_generation;
    m_connection.end();
    released();
    Module1::Log(QStringLiteral("The automatic check gave way to a session started from the "
                                "menu."));
    m_schedule.checkEnded();
    emit checkEnded();
}

void AutoCheck::networkChanged()
{
    const QNetworkInformation* info = QNetworkInformation::instance();
    if (info && info->reachability() == QNetworkInformation::Reachability::Online &&
        (m_lastFailed || m_schedule.overdue()))
        m_schedule.bringForward(2000);
}

void AutoCheck::due()
{
    if (m_paused || !m_schedule.active() || m_dialogue.running())
        return;
    if (m_busy && m_busy()) {
        m_busyRetry.start(BusyRetryMs);
        return;
    }
    begin();
}

void AutoCheck::begin()
{
    ++m_checksRun;
    ++m_generation;
    m_storedIndices.clear();
    QString problem;
    const std::optional<ServerAddress> address =
        ServerAddress::parse(m_server, Pop3Client::Pop3Port, &problem);
    if (!address) {
        Module1::Log(QStringLiteral("POP3 Error: ") + problem);
        failed(problem.toUtf8());
        return;
    }
    problem = Pop3Session::accountProblem(m_user, m_password);
    if (!problem.isEmpty()) {
        Module1::Log(QStringLiteral("POP3 Error: ") + problem);
        failed(problem.toUtf8());
        return;
    }
    const bool tls = Pop3Client::usesTls(*address);
    if (!tls && !PlainTextConsent::allowed(QStringLiteral("POP3"), address->host)) {
        problem = QStringLiteral("the password for %1 would go unencrypted; use port 995.")
                      .arg(address->host);
        Module1::Log(QStringLiteral("POP3 Error: ") + problem);
        failed(problem.toUtf8());
        return;
    }
    m_seenAtStart = m_store.load(m_server, m_user);
    m_firstCheck = !m_seenAtStart.has_value();
    m_dialogue.start(m_user, m_password, m_seenAtStart);
    m_connection.open(*address,
                      tls ? MailConnection::Security::Tls : MailConnection::Security::Plain);
    m_connection.startTimer(m_idleTimeoutMs);
    m_deadline.start(m_deadlineMs);
}

void AutoCheck::deadlinePassed()
{
    if (!m_dialogue.running())
        return;
    m_connection.end();
    runActions(m_dialogue.connectionFailed(
        QStringLiteral("the check took longer than %1 seconds and was ended.")
            .arg(m_deadlineMs / 1000.0)));
}

void AutoCheck::released()
{
    // What the check held goes when it ends: its buffers, the listing and
    // the ids it compared with.
    m_deadline.stop();
    m_dialogue = CheckDialogue();
    m_seenAtStart.reset();
    m_storedIndices = {};
}

void AutoCheck::dataArrived()
{
    const QByteArray D = m_connection.readAll();
    if (D.isEmpty())
        return;
    Module1::LogBytes(D);
    if (!m_dialogue.running())
        return;
    const quint64 progress = m_dialogue.progress();
    const Pop3Actions actions = m_dialogue.receive(D);
    if (m_dialogue.progress() != progress)
        m_connection.startTimer(m_idleTimeoutMs);
    runActions(actions);
}

void AutoCheck::runActions(const Pop3Actions& actions)
{
    const int generation = m_generation;
    for (const Pop3Action& action : actions) {
        if (generation != m_generation)
            return;
        switch (action.kind) {
        case Pop3Action::Kind::Send:
            m_connection.write(action.bytes);
            break;
        case Pop3Action::Kind::Log:
            Module1::Log(action.text);
            break;
        case Pop3Action::Kind::Store:
            if (action.index >= 0 && action.index < CheckDialogue::MaxMessages) {
                m_storedIndices << action.index;
                emit messageStored(action.index,
                                   Module1::storeRetrievedMessage(action.index, action.bytes));
            }
            break;
        case Pop3Action::Kind::SlideIn:
            break;
        case Pop3Action::Kind::Close:
            m_connection.end();
            finish();
            break;
        case Pop3Action::Kind::Fail:
            m_connection.end();
            Module1::LogBytes("POP3 Error: " + action.bytes);
            failed(action.bytes);
            break;
        }
    }
}

void AutoCheck::finish()
{
    ++m_generation;
    m_lastFailed = false;
    const NewMail::Choice& choice = m_dialogue.choice();
    // A mailbox that did not change leaves the file as it is.
    const bool changed = !m_seenAtStart || *m_seenAtStart != choice.onServer;
    m_seenAtStart.reset();
    if (changed && !m_store.save(m_server, m_user, choice.onServer))
        Module1::Log(QStringLiteral("POP3 Error: the ids seen on the server could not be "
                                    "recorded in %1.")
                         .arg(m_store.fileName(m_server, m_user)));
    if (m_firstCheck) {
        Module1::Log(QStringLiteral("First automatic check of this account: %1 messages on the "
                                    "server recorded, none announced.")
                         .arg(choice.onServer.size()));
    }
    if (!m_storedIndices.isEmpty()) {
        emit newMail(int(m_storedIndices.size()));
        announce();
        setToolTip(countText(choice.newCount));
    } else {
        setToolTip(QStringLiteral("no new mail"));
    }
    released();
    m_schedule.checkEnded();
    emit checkEnded();
    // A check that runs for weeks gives back what each check freed, once the
    // check is over, so that its resident size does not creep.
    QTimer::singleShot(0, this, &Memory::releaseFreed);
}

void AutoCheck::failed(const QByteArray& reason)
{
    ++m_generation;
    const CheckDialogue::Outcome outcome = m_dialogue.outcome();
    const QString why = Pop3Session::decode(reason).trimmed();
    released();
    if (outcome == CheckDialogue::Outcome::LoginRefused) {
        // Trying again on a schedule could get the account locked.
        m_paused = true;
        m_schedule.stop();
        setToolTip(QStringLiteral("password refused, checks paused"));
        if (m_notifier) {
            // The server's words are quoted short: a hostile server must not
            // fill a genuine warning with a message of its own.
            m_notifier->notify({QStringLiteral("Quillbeacon: the password was refused"),
                                QStringLiteral("The server refused the user name or password "
                                               "and said: \"%1\". Automatic checks are paused: "
                                               "correct them in Options and press OK.")
                                    .arg(quotedReply(why)),
                                QStringLiteral("network.error"), false});
        }
    } else if (outcome == CheckDialogue::Outcome::NoIds) {
        m_paused = true;
        m_schedule.stop();
        setToolTip(QStringLiteral("check failed: the server lists no message ids"));
    } else {
        m_lastFailed = true;
        setToolTip(QStringLiteral("check failed: ") + why);
        m_schedule.checkEnded();
    }
    emit checkEnded();
    // A failed check may have held as much as a good one (a listing up to
    // its bound, say): that goes back too.
    QTimer::singleShot(0, this, &Memory::releaseFreed);
}

void AutoCheck::announce()
{
    if (!m_notifier)
        return;
    QStringList lines;
    // The newest first.
    for (qsizetype i = m_storedIndices.size() - 1; i >= 0; --i) {
        const Mime::ShownHeaders shown = Module1::shownHeaders(m_storedIndices[i]);
        const QString sender = senderName(shown.from);
        const QString subject = shown.subject.trimmed();
        lines << (sender.isEmpty() ? subject : sender + QString::fromUtf8(" \u2014 ") + subject);
    }
    const int total = m_dialogue.choice().newCount;
    m_notifier->notify(
        {countText(total), noticeBody(lines, total), QStringLiteral("email.arrived"), true});
}

void AutoCheck::setToolTip(const QString& state)
{
    m_toolTip = QStringLiteral("Quillbeacon: %1 (%2)")
                    .arg(state, QTime::currentTime().toString(QStringLiteral("HH:mm")));
    emit toolTipChanged(m_toolTip);
}
