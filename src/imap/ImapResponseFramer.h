#pragma once
// Cuts the bytes an IMAP server sends into whole responses, however they
// are cut into arrivals.
//
// STAND-IN: the engine's ReplyReader is to frame every protocol, IMAP's
// counted literals included; once its counted mode exists the IMAP dialogue
// reads through it and this class goes. It does only what that mode must
// do: lines, literals of a counted size, both bounded, each byte searched
// once, a literal kept as a range of the buffer it arrived in.
//
// Bounds: the lines of one response together (its literals not counted, a
// line end counted as two bytes) at most MaxLine; the literals of one
// response together at most the limit the caller sets for what it asked
// for (a header fetch needs far less than a whole message). Past either
// the framer fails with a plain reason at once, without waiting for the
// rest, and stays failed.

#include "core/SharedBytes.h"
#include "imap/ImapLimits.h"
#include "imap/ImapResponseBytes.h"

#include <QByteArrayView>
#include <QString>

class ImapResponseFramer
{
public:
    static constexpr qsizetype MaxLine = ImapLimits::MaxLine;

    enum class Status { Complete, Incomplete, Failed };

    explicit ImapResponseFramer(qsizetype literalLimit);

    // For literals announced from now on.
    void setLiteralLimit(qsizetype limit) { m_literalLimit = limit; }
    qsizetype literalLimit() const { return m_literalLimit; }

    void append(QByteArrayView data);
    // Complete: `response` holds the next response. Incomplete: more bytes
    // are needed. Failed: see error().
    Status next(ImapResponseBytes& response);
    QString error() const { return m_error; }

    // Bytes that arrived and belong to no response returned yet.
    qsizetype pending() const { return m_buffer->size() - m_responseStart; }

private:
    enum class State { Line, Literal, Failed };

    Status fail(const QString& reason);
    void compact();

    SharedBytes m_buffer = std::make_shared<QByteArray>();
    State m_state = State::Line;
    qsizetype m_literalLimit;
    qsizetype m_responseStart = 0; // where the response being framed began
    qsizetype m_pieceStart = 0;    // where its current line or literal begins
    qsizetype m_searched = 0;      // no line end before here
    qsizetype m_literalSize = 0;   // of the literal being read
    qsizetype m_lineBytes = 0;     // of the response so far
    qsizetype m_literalBytes = 0;  // of the response so far
    ImapResponseBytes m_response;  // its pieces so far
    QString m_error;
};
