// The POP3 dialogue fed arbitrary server data in arbitrary pieces, in both
// modes. Every command is one line, the password never reaches the log,
// messages are stored in order at indices 0 to 50 only, nothing is stored in
// delete mode, and after the session has ended nothing more happens.
// With the second bit of the first byte set, the same data goes to the
// automatic check's dialogue instead, one byte at a time, so that the reply
// each command got is known here: it never names a message outside 1 to the
// STAT count, fetches each at most once, asks TOP of at most 51 messages for
// their digests, fetches no message that LIST or its RETR status line
// announced as larger than 25 MiB (its header is asked for instead, and only
// then), records only ids of 1 to 70 printable characters, and the same
// listing seen again announces nothing. Fed in the pieces of the first byte
// instead, it does exactly the same.

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
constexpr qint64 kLarge = 25 * 1024 * 1024;

// The number at `at` in `text`, -1 when no digit is there; any value past
// kLarge is kLarge + 1.
qint64 numberAt(QByteArrayView text, qsizetype at)
{
    qint64 value = -1;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        value = std::min(std::max<qint64>(value, 0) * 10 + (text[at] - '0'), kLarge + 1);
    return value;
}

// The line of `data` that begins at `from`, without its line end.
QByteArrayView lineAt(QByteArrayView data, qsizetype from)
{
    const qsizetype end = data.indexOf('\n', from);
    QByteArrayView line = data.sliced(from, (end < 0 ? data.size() : end) - from);
    return line.endsWith('\r') ? line.chopped(1) : line;
}

// The size in a LIST reply of exactly the form "+OK n size", else -1.
qint64 listedSize(QByteArrayView line)
{
    if (!line.startsWith("+OK "))
        return -1;
    const qsizetype space = line.indexOf(' ', 4);
    if (space < 0 || numberAt(line, 4) < 0 || numberAt(line, space + 1) < 0)
        return -1;
    qsizetype end = space + 1;
    while (end < line.size() && line[end] >= '0' && line[end] <= '9')
        ++end;
    return end == line.size() && space > 4 ? numberAt(line, space + 1) : -1;
}

bool announcesLarge(QByteArrayView statusLine)
{
    return statusLine.startsWith("+OK ") && numberAt(statusLine, 4) > kLarge;
}

struct CheckRun {
    QByteArray sent;
    QByteArrayList stored;
    CheckDialogue::Outcome outcome = CheckDialogue::Outcome::Running;
    std::optional<QSet<QByteArray>> ids; // what it recorded, when it completed
};

// One automatic check over the data.
CheckRun runCheck(const uint8_t* data, size_t size, const std::optional<QSet<QByteArray>>& seen,
                  bool again, bool bytewise)
{
    const QByteArrayView all(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    CheckDialogue dialogue;
    dialogue.start(QStringLiteral("ann"), kPassword, seen);
    CheckRun run;
    QSet<int> fetched;
    struct Command {
        QByteArray line;
        qsizetype replyAt; // where its reply begins in the data
    };
    QList<Command> commands;
    int digestTops = 0;
    bool listingDone = false;
    qsizetype fed = 0;
    auto follow = [&](const Pop3Actions& actions) {
        for (const Pop3Action& action : actions) {
            if (action.kind == Pop3Action::Kind::Log)
                check(!action.text.contains(kPassword));
            if (action.kind == Pop3Action::Kind::Store) {
                check(!again); // everything on the server was seen
                check(action.index == run.stored.size());
                check(action.index < CheckDialogue::MaxMessages);
                run.stored << action.bytes;
                // The message it came from: the command before the last.
                if (bytewise) {
                    check(commands.size() >= 2);
                    const Command& from = commands[commands.size() - 2];
                    if (from.line.startsWith("RETR "))
                        check(!announcesLarge(lineAt(all, from.replyAt)));
                }
            }
            if (action.kind != Pop3Action::Kind::Send)
                continue;
            const QByteArray& line = action.bytes;
            run.sent += line;
            check(line.indexOf('\n') == line.size() - 1);
            const QByteArray command = line.chopped(2);
            if (command.startsWith("LIST ") || command.startsWith("RETR "))
                listingDone = true;
            if (command.startsWith("RETR ") || command.startsWith("TOP ") ||
                command.startsWith("LIST ")) {
                const int n = command.mid(command.indexOf(' ') + 1).split(' ').first().toInt();
                check(n >= 1 && n <= dialogue.messageCount());
                if (command.startsWith("RETR ")) {
                    check(!fetched.contains(n));
                    fetched.insert(n);
                }
                if (command.startsWith("TOP ") && !listingDone)
                    check(++digestTops <= CheckDialogue::MaxMessages);
            }
            if (bytewise && !commands.isEmpty() && command.startsWith("RETR ")) {
                // Not after a LIST that said it is large.
                const Command& list = commands.last();
                check(list.line == "LIST " + command.mid(5));
                check(listedSize(lineAt(all, list.replyAt)) <= kLarge);
            }
            if (bytewise && listingDone && command.startsWith("TOP ")) {
                // A header instead of a message only where it is large.
                const Command& before = commands.last();
                check(before.line.mid(5) + " 0" == command.mid(4));
                const QByteArrayView reply = lineAt(all, before.replyAt);
                const qint64 listed = listedSize(reply);
                check(before.line.startsWith("RETR ") ? announcesLarge(reply)
                                                      : listed < 0 || listed > kLarge);
            }
            commands << Command{command, fed};
        }
    };
    if (bytewise) {
        for (fed = 1; fed <= all.size(); ++fed)
            follow(dialogue.receive(all.sliced(fed - 1, 1).toByteArray()));
    } else {
        for (QByteArrayView piece : piecesOf(data, size))
            follow(dialogue.receive(piece.toByteArray()));
    }
    follow(dialogue.connectionFailed(QStringLiteral("dropped")));
    check(!dialogue.running());
    run.outcome = dialogue.outcome();
    if (run.outcome == CheckDialogue::Outcome::Done) {
        run.ids = dialogue.choice().onServer;
        check(run.ids->size() <= std::min(dialogue.messageCount(), CheckDialogue::MaxListingLines));
        for (const QByteArray& id : *run.ids)
            check(NewMail::isValidId(id));
    }
    return run;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    if (data[0] & 2) {
        const QSet<QByteArray> seen{"x"};
        const CheckRun run = runCheck(data, size, seen, false, true);
        const CheckRun cut = runCheck(data, size, seen, false, false);
        check(cut.sent == run.sent && cut.stored == run.stored && cut.outcome == run.outcome &&
              cut.ids == run.ids);
        if (run.ids)
            runCheck(data, size, run.ids, true, true);
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
