#include "ui/SafeFileName.h"

#include <QRegularExpression>

namespace SafeFileName
{
namespace
{

// Bytes of UTF-8 a name may take: file systems allow 255.
constexpr qsizetype MaxBytes = 200;

bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F) || c.category() == QChar::Other_Format ||
           u == 0x2028 || u == 0x2029;
}

// ".pdf" of "report.pdf": letters and digits only, up to ten of them.
QString extensionOf(const QString& name)
{
    static const QRegularExpression extension(QStringLiteral("\\.[A-Za-z0-9]{1,10}$"));
    const QRegularExpressionMatch match = extension.match(name);
    return match.hasMatch() ? match.captured() : QString();
}

QString shortened(QString name)
{
    if (name.toUtf8().size() <= MaxBytes)
        return name;
    const QString extension = extensionOf(name);
    QString stem = name.chopped(extension.size());
    while (!stem.isEmpty() && (stem + extension).toUtf8().size() > MaxBytes)
        stem.chop(stem.back().isLowSurrogate() && stem.size() > 1 ? 2 : 1);
    return stem + extension;
}

} // namespace

QString of(const QString& name)
{
    QString plain;
    for (const QChar c : name) {
        if (c == u'/' || c == u'\\')
            plain.clear(); // only the last component counts
        else if (!isControl(c))
            plain += QStringLiteral("<>:\"|?*").contains(c) ? QChar(u'_') : c;
    }
    const QString extension = extensionOf(plain);
    qsizetype start = 0;
    while (start < plain.size() && (plain[start] == u'.' || plain[start].isSpace()))
        ++start;
    qsizetype end = plain.size();
    while (end > start && (plain[end - 1] == u'.' || plain[end - 1].isSpace()))
        --end;
    plain = plain.sliced(start, end - start);
    if (plain.isEmpty())
        return QStringLiteral("attachment") + extension;

    static const QRegularExpression device(
        QStringLiteral("^(con|prn|aux|nul|com[1-9]|lpt[1-9])(\\.|$)"),
        QRegularExpression::CaseInsensitiveOption);
    if (device.match(plain).hasMatch())
        plain.prepend(u'_');
    return shortened(plain);
}

} // namespace SafeFileName
