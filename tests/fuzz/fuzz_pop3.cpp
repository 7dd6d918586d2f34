// The POP3 dialogue fed arbitrary server data in arbitrary pieces, in both
// modes. Every command is one line, the password never reaches the log,
// messages are stored in order at indices 0 to 50 only, nothing is stored in
// delete mode, and after the session has ended nothing more happens.
// With the second bit of the first byte set, the same data goes to the
// automatic check's dialogue instead: it never names a message outside 1 to
// the STAT count, fetches each at most once, and the same listing seen
// again announces nothing.

#include "FuzzInput.h"
#include "autocheck/CheckDialogue.h"
#include "pop3/Pop3Session.h"

#include <cstdlib>

namespace
{

void check(bool condition)
{
    if (!condition)
        std::abort();
}

const QString kPassword = QStringLiteral("s3cret-PW");

// One automatic check over the data; returns the ids it recorded.
std::optional<QSet<QByteArray>> runCheck(const uint8_t* data, size_t size,
                                         std::optional<QSet<QByteArray>> seen, bool again)
{
    CheckDialogue dialogue;
    dialogue.start(QStringLiteral("ann"), kPassword, seen);
    QSet<int> fetched;
    int stored = 0;
    auto follow = [&](const Pop3Actions& actions) {
        for (const Pop3Action& action : actions) {
            if (action.kind == Pop3Action::Kind::Log)
                check(!action.text.contains(kPassword));
            if (action.kind == Pop3Action::Kind::Store) {
                check(!again); // everything on the server was seen
                check(action.index == stored++);
                check(action.index < CheckDialogue::MaxMessages);
            }
            if (action.kind != Pop3Action::Kind::Send)
                continue;
            const QByteArray& line = action.bytes;
            check(line.indexOf('\n') == line.size() - 1);
            if (line.startsWith("RETR ") || line.startsWith("TOP ")) {
                const int n = line.mid(line.indexOf(' ') + 1).split(' ').first().trimmed().toInt();
                check(n >= 1 && n <= dialogue.messageCount());
                if (line.startsWith("RETR ")) {
                    check(!fetched.contains(n));
                    fetched.insert(n);
                }
            }
        }
    };
    for (QByteArrayView piece : piecesOf(data, size))
        follow(dialogue.receive(piece.toByteArray()));
    follow(dialogue.connectionFailed(QStringLiteral("dropped")));
    check(!dialogue.running());
    if (dialogue.outcome() != CheckDialogue::Outcome::Done)
        return std::nullopt;
    return dialogue.choice().onServer;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    if (data[0] & 2) {
        const std::optional<QSet<QByteArray>> ids =
            runCheck(data, size, QSet<QByteArray>{"x"}, false);
        if (ids)
            runCheck(data, size, ids, true);
        return 0;
    }
    const bool deleteMode = data[0] & 1;
    Pop3Session session;
    session.start(deleteMode ? Pop3Session::Mode::Delete : Pop3Session::Mode::Retrieve,
                  QStringLiteral("ann"), kPassword);

    int stored = 0;
    bool ended = false;
    bool slid = false;
    auto follow = [&](const Pop3Actions& actions) {
        for (const Pop3Action& action : actions) {
            check(!ended);
            switch (action.kind) {
            case Pop3Action::Kind::Send:
                check(action.bytes.endsWith("\r\n"));
                check(action.bytes.indexOf('\r') == action.bytes.size() - 2);
                check(action.bytes.indexOf('\n') == action.bytes.size() - 1);
                break;
            case Pop3Action::Kind::Log:
                check(!action.text.contains(kPassword));
                break;
            case Pop3Action::Kind::Store:
                check(!deleteMode);
                check(action.index == stored); // list row i is table index i
                check(action.index >= 0 && action.index <= 50);
                if (!action.doubledDots) { // nothing to undo, as the session said
                    QByteArray storage;
                    const QByteArrayView text = Pop3Session::messageBytes(action.bytes);
                    check(Pop3Session::unstuffed(text, &storage).data() == text.data());
                }
                ++stored;
                break;
            case Pop3Action::Kind::SlideIn:
                check(!deleteMode && stored > 0 && !slid);
                slid = true;
                break;
            case Pop3Action::Kind::Close:
            case Pop3Action::Kind::Fail:
                ended = true;
                break;
            }
        }
    };
    for (QByteArrayView piece : piecesOf(data, size))
        follow(session.receive(piece.toByteArray()));
    follow(session.connectionFailed(QStringLiteral("dropped")));
    check(!session.running());
    return 0;
}
