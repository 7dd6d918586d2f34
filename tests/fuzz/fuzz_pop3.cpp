// The POP3 dialogue fed arbitrary server data in arbitrary pieces, in both
// modes. Every command is one line, the password never reaches the log,
// messages are stored in order at indices 0 to 50 only, nothing is stored in
// delete mode, and after the session has ended nothing more happens.

#include "FuzzInput.h"
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
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
