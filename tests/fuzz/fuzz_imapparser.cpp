// The IMAP framer and parser fed arbitrary server bytes in arbitrary pieces
// (the first byte chooses them, and whether literals may hold 1 MiB or 100
// bytes). Cut so or fed at once, the same responses come out, each exactly
// its stretch of the input: every line without its line end, every literal
// a range inside its buffer holding the input's bytes there, within the
// bounds. A malformed response comes with a reason; a parsed one nests no
// deeper than the bound, its accessors hold, and every value in its data,
// written back as a command writes it, parses back to the same value.

#include "FuzzInput.h"
#include "imap/ImapCommand.h"
#include "imap/ImapLimits.h"
#include "imap/ImapParser.h"
#include "imap/ImapResponseFramer.h"

#include <cstdio>
#include <cstdlib>

namespace
{

// Names the line of a failed check, for the finding's log.
#define check(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "check failed at line %d: %s\n", __LINE__, #condition);           \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

struct Run {
    QList<ImapResponseBytes> responses;
    bool failed = false;
};

Run frame(const QList<QByteArrayView>& pieces, qsizetype limit)
{
    Run run;
    ImapResponseFramer framer(limit);
    for (QByteArrayView piece : pieces) {
        framer.append(piece);
        ImapResponseBytes r;
        ImapResponseFramer::Status status;
        while ((status = framer.next(r)) == ImapResponseFramer::Status::Complete)
            run.responses << r;
        if (status == ImapResponseFramer::Status::Failed) {
            check(!framer.error().isEmpty());
            run.failed = true;
            break;
        }
    }
    return run;
}

bool sameValue(const ImapValue& a, const ImapValue& b)
{
    if (a.isString() || b.isString())
        return a.isString() && b.isString() && a.bytes().view() == b.bytes().view();
    if (a.kind() != b.kind() || a.text() != b.text() || a.items().size() != b.items().size())
        return false;
    for (qsizetype i = 0; i < a.items().size(); ++i) {
        if (!sameValue(a.items()[i], b.items()[i]))
            return false;
    }
    return true;
}

void checkWrittenBack(const ImapValue& v)
{
    const QByteArray bytes = "* X " + ImapCommand::written(v) + "\r\n";
    ImapResponseFramer framer(ImapLimits::MessageLiterals);
    framer.append(bytes);
    ImapResponseBytes r;
    check(framer.next(r) == ImapResponseFramer::Status::Complete);
    const ImapParseResult parsed = ImapParser::parse(r);
    check(parsed.ok() && parsed.response.data.size() == 1);
    check(sameValue(parsed.response.data.first(), v));
}

// The response's stretch of `input` from `at`; returns where it ends.
qsizetype checkStretch(const ImapResponseBytes& r, QByteArrayView input, qsizetype at,
                       qsizetype limit)
{
    check(!r.lines.isEmpty() && r.literals.size() == r.lines.size() - 1);
    check(r.lineBytes() <= ImapLimits::MaxLine);
    qsizetype literals = 0;
    for (qsizetype i = 0; i < r.lines.size(); ++i) {
        const QByteArray& line = r.lines[i];
        check(!line.contains('\n') && input.sliced(at).startsWith(line));
        at += line.size();
        const bool crlf = input.sliced(at).startsWith("\r\n");
        check(crlf || input.sliced(at).startsWith("\n"));
        at += crlf ? 2 : 1;
        if (i == r.literals.size())
            break;
        const ByteRange& literal = r.literals[i];
        check(literal.bytes && literal.from >= 0 && literal.size >= 0 &&
              literal.from + literal.size <= literal.bytes->size());
        check(literal.view() == input.sliced(at, literal.size));
        at += literal.size;
        literals += literal.size;
    }
    check(literals <= limit);
    return at;
}

void checkParsed(const ImapResponseBytes& r)
{
    const ImapParseResult parsed = ImapParser::parse(r);
    if (!parsed.ok())
        return;
    const ImapResponse& response = parsed.response;
    for (const ImapValue& v : response.data) {
        check(v.depth() <= ImapLimits::MaxDepth);
        checkWrittenBack(v);
    }
    for (const ImapValue& v : response.code.args)
        check(v.depth() <= ImapLimits::MaxDepth);
    // What the accessors promise of a response the parser took.
    if (response.isUntagged("FETCH")) {
        check(response.number >= 1);
        if (response.fetchItem("UID"))
            check(response.fetchUid() >= 1);
        if (const ImapValue* section = response.fetchSection())
            check(section->isString() || section->isNil());
        response.fetchFlags();
    }
    if (response.code.name == "UIDVALIDITY" || response.code.name == "UIDNEXT")
        check(response.code.number() >= 1);
    for (quint32 n : response.searchNumbers())
        check(n >= 1);
    response.esearchAll();
    response.capabilities();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype limit = data[0] & 2 ? 100 : ImapLimits::HeaderLiterals;
    const QByteArrayView input(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const Run cut = frame(piecesOf(data, size), limit);
    const Run whole = frame({input}, limit);
    check(cut.failed == whole.failed && cut.responses.size() == whole.responses.size());

    qsizetype at = 0;
    qsizetype atWhole = 0;
    for (qsizetype n = 0; n < cut.responses.size(); ++n) {
        const ImapResponseBytes& r = cut.responses[n];
        at = checkStretch(r, input, at, limit);
        atWhole = checkStretch(whole.responses[n], input, atWhole, limit);
        check(at == atWhole && r.lines == whole.responses[n].lines);
        checkParsed(r);
    }
    return 0;
}
