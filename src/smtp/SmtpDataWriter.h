#pragma once
// The data section of a send (everything between "DATA" and the server's
// reply), made a piece at a time so that a large attachment is never held
// twice: the head, the text, an empty line, the uuencoded block, then ".".
// Every line goes out ending in CR LF, and a line that begins with "." gets
// another one. With quoted-printable the body's lines are encoded first, so
// that lines longer than SMTP allows arrive intact; as they are, such lines
// are split.

#include <QByteArray>

class SmtpDataWriter
{
public:
    enum class Encoding { AsIs, QuotedPrintable };
    // The longest line SMTP takes, without its CR LF.
    static constexpr qsizetype MaxLine = 998;

    // `head` is sent as it is (header lines and the empty line, in CR LF);
    // `text` is the message text in UTF-8; `block` is shared, not copied.
    SmtpDataWriter(QByteArray head, const QByteArray& text, QByteArray block,
                   Encoding encoding = Encoding::AsIs);

    // The next piece: at least `size` bytes unless the end comes first; the
    // last piece ends in ".\r\n".
    QByteArray next(qsizetype size);
    bool atEnd() const { return m_done; }

    // The whole section at once.
    QByteArray all();

    // The longest line of text, in bytes, not counting its line end.
    static qsizetype longestLine(const QByteArray& text);

private:
    void appendLine(QByteArray& out, const char* begin, const char* end) const;
    // The next line of the body; false after the last one.
    bool nextLine(const char** begin, const char** end);

    QByteArray m_head;
    QByteArray m_text; // the text, its line ends as LF, and "\n\n"
    QByteArray m_block;
    Encoding m_encoding;
    int m_segment = -1; // -1 the head, 0 the text, 1 the block
    qsizetype m_offset = 0;
    bool m_done = false;
};
