#pragma once
// The scrambled form of the stored password. Every ASCII letter is replaced by
// a code of one digit and one upper-case letter, in 52 steps walked in the
// order a, A, b, B, ..., z, Z; a later step also rewrites the letter inside a
// code an earlier step inserted, so a letter becomes a nested code. Decoding
// walks the same order and removes one level of nesting per round.
//
// A typed digit followed by a typed upper-case letter can spell a code, and
// such a password would not come back as typed. Those passwords are stored in
// a second form instead: the marker below, then the UTF-8 bytes in lower-case
// hex. The scrambling never leaves a lower-case ASCII letter, so the two forms
// cannot be confused.

#include <QString>

namespace PasswordScrambler
{

inline constexpr int DecodeRounds = 50;
inline constexpr char HexFormMarker[] = "qbhex:";

struct Pair {
    char letter;
    char code[3];
};

// The 52 pairs in table order.
const Pair* table();
inline constexpr int TableSize = 52;

// The plain scrambling: 52 replacement steps.
QString scramble(const QString& password);
// One decoding pass: 52 replacement steps, in table order.
QString decodeRound(const QString& stored);
// Fifty rounds, no early stop, no check (the hex form is read back too).
QString decode(const QString& stored);

// What the settings record stores for a password: the scrambled form when it
// decodes back to the password, the hex form otherwise.
QString storedForm(const QString& password);

// The deepest nesting any letter reaches under scramble().
int deepestNesting();

} // namespace PasswordScrambler
