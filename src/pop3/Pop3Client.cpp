#include "pop3/Pop3Client.h"

#include "core/Log.h"
#include "core/Module1.h"
#include "net/PlainReason.h"
#include "net/PlainTextConsent.h"
#include "pop3/MessageStore.h"

#include <QCoreApplication>

namespace
{
// Where the user typed the server, as the plain reasons name it.
const QString IncomingServerPlace = QStringLiteral("in Options");
} // namespace

Pop3Client::Pop3Client(QObject* parent) : QObject(parent), m_connection(this)
{
    connect(&m_connection, &MailConnection::dataArrived, this, &Pop3Client::dataArrived);
    connect(&m_connection, &MailConnection::failed, this,
            [this](const QString& reason, int winsock, bool tls) {
                connectionFailed(reason, PlainReason::connectionFailed(
                                             m_address, IncomingServerPlace, winsock, tls, reason,
                                             m_connection.refusedByUser()));
            });
    connect(&m_connection, &MailConnection::timedOut, this, [this] {
        connectionFailed(
            QStringLiteral("Connection timed out: no data from the server for %1 seconds.")
                .arg(m_idleTimeoutMs / 1000.0),
            PlainReason::timedOut());
    });
}

void Pop3Client::start(Pop3Session::Mode mode, const QString& server, const QString& user,
                       const QString& password)
{
    endSession();
    if (server.trimmed().isEmpty()) {
        Module1::Log(QStringLiteral("POP3 Error: no incoming mail server is set."));
        emit refused(QStringLiteral("No incoming mail server is set. Enter it in Options and "
                                    "press OK, then try again."));
        return;
    }
    QString problem;
    const std::optional<ServerAddress> address = ServerAddress::parse(server, Pop3Port, &problem);
    if (!address) {
        Module1::Log(QStringLiteral("POP3 Error: ") + problem);
        emit refused(problem + QStringLiteral(" Correct the incoming mail server in Options."));
        return;
    }

    const QString accountProblem = Pop3Session::accountProblem(user, password);
    if (!accountProblem.isEmpty()) {
        Module1::Log(QStringLiteral("POP3 Error: ") + accountProblem);
        emit refused(QStringLiteral("The user name or the password holds a line break. Correct "
                                    "it in Options and press OK, then try again. Nothing was "
                                    "sent."));
        return;
    }

    const bool tls = usesTls(*address);
    if (!tls && !unencryptedAllowed(address->host))
        return;

    m_session.start(mode, user, password);
    m_address = *address;
    ++m_generation;
    m_connection.open(*address,
                      tls ? MailConnection::Security::Tls : MailConnection::Security::Plain);
    m_connection.startTimer(m_idleTimeoutMs);
}

bool Pop3Client::unencryptedAllowed(const QString& host)
{
    // The box lets events run: a session started meanwhile is the one that
    // counts.
    const int generation = m_generation;
    using PlainTextConsent::Answer;
    const Answer answer = PlainTextConsent::ask(
        QStringLiteral("POP3"), host,
        QStringLiteral("The password for %1 would be sent unencrypted. Most providers offer "
                       "POP3 over TLS on port 995: write %1:995 in Options. Send it unencrypted "
                       "anyway?")
            .arg(host),
        m_consent);
    if (answer == Answer::NobodyAsked) {
        const QString why = QStringLiteral("the password for %1 would be sent unencrypted, and "
                                           "nobody was asked.")
                                .arg(host);
        Module1::Log(QStringLiteral("POP3 Error: ") + why);
        emit refused(why);
    } else if (answer == Answer::No) {
        Module1::Log(
            QStringLiteral("POP3 Error: the password for %1 was not sent unencrypted.").arg(host));
    }
    return answer == Answer::Yes && generation == m_generation;
}

void Pop3Client::endSession()
{
    ++m_generation;
    m_connection.end();
}

void Pop3Client::dataArrived()
{
    const QByteArray D = m_connection.readAll();
    if (D.isEmpty())
        return;
    if (!m_session.running()) {
        Module1::LogBytes(D);
        return;
    }
    // The idle time counts from the last complete reply or message, not
    // from the last byte: a peer that trickles bytes is still silent.
    const quint64 progress = m_session.progress();
    Pop3Actions actions = m_session.receive(D);
    // Logged before anything is done about it, from where the session keeps
    // it: a message's bytes are held once, by the tables and the log alike.
    Module1::LogRange(m_session.lastArrival());
    if (m_session.progress() != progress)
        m_connection.startTimer(m_idleTimeoutMs);
    Module1::Pop3Step = m_session.step();
    runActions(std::move(actions));
}

void Pop3Client::runActions(Pop3Actions actions)
{
    const int generation = m_generation;
    for (Pop3Action& action : actions) {
        // A session restarted or failed while the DELE loop let events run.
        if (generation != m_generation)
            return;
        switch (action.kind) {
        case Pop3Action::Kind::Send:
            m_connection.write(action.bytes);
            if (action.yieldAfter)
                QCoreApplication::processEvents();
            break;
        case Pop3Action::Kind::Log:
            Module1::Log(action.text);
            break;
        case Pop3Action::Kind::Store:
            storeMessage(action.index, std::move(action.bytes), action.doubledDots);
            break;
        case Pop3Action::Kind::SlideIn:
            emit retrievalFinished();
            break;
        case Pop3Action::Kind::Close:
            endSession();
            break;
        case Pop3Action::Kind::Fail:
            endSession();
            emit failed(action.bytes, action.text);
            Module1::LogBytes("POP3 Error: " + action.bytes);
            break;
        }
    }
}

void Pop3Client::storeMessage(int index, QByteArray reply, bool doubledDots)
{
    if (index < 0 || index >= Module1::MessageTableSize)
        return;
    emit messageStored(index, Module1::storeRetrievedMessage(index, std::move(reply), doubledDots));
}

void Pop3Client::connectionFailed(const QString& reason, const QString& plain)
{
    runActions(m_session.connectionFailed(reason, plain));
}
