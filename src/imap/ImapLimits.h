#pragma once
// How much of an IMAP server's output is taken before it counts as broken or
// hostile, in one place.

#include <QtGlobal>

namespace ImapLimits
{

// The lines of one response together, its literals not counted.
constexpr qsizetype MaxLine = 64 * 1024;
// Parenthesised lists inside one another. The deepest a client of ours asks
// for (ENVELOPE inside FETCH) needs four; a BODYSTRUCTURE, which it never
// asks for, one or two per level of its message.
constexpr int MaxDepth = 64;
// The literals of one response together, by what was asked for: headers
// for a notice or a list row, or a whole message.
constexpr qsizetype HeaderLiterals = 1024 * 1024;
constexpr qsizetype MessageLiterals = qsizetype(256) * 1024 * 1024;

} // namespace ImapLimits
