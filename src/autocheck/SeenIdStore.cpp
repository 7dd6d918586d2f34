#include "autocheck/SeenIdStore.h"

#include "autocheck/NewMail.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace
{

// The first line of every file: a file that does not begin with it is not
// ours, or not whole.
constexpr char Header[] = "Quillbeacon seen ids 1\n";
constexpr char Trailer[] = "end\n";

} // namespace

SeenIdStore::SeenIdStore(QString folder) : m_folder(std::move(folder))
{
    if (m_folder.isEmpty())
        m_folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                   QStringLiteral("/seen-ids");
}

QString SeenIdStore::fileName(const QString& server, const QString& user) const
{
    const QByteArray account = server.toUtf8() + '\n' + user.toUtf8();
    return m_folder + QLatin1Char('/') +
           QString::fromLatin1(
               QCryptographicHash::hash(account, QCryptographicHash::Sha256).toHex().left(32)) +
           QStringLiteral(".ids");
}

std::optional<QSet<QByteArray>> SeenIdStore::load(const QString& server, const QString& user) const
{
    QFile file(fileName(server, user));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Never more than the bound is read, whatever the file has become.
    const QByteArray text = file.read(MaxFileBytes);
    if (text.size() >= MaxFileBytes || !text.startsWith(Header) ||
        !text.endsWith(QByteArray("\n") + Trailer))
        return std::nullopt;
    QSet<QByteArray> ids;
    const qsizetype headerSize = qsizetype(sizeof Header) - 1;
    const qsizetype trailerSize = qsizetype(sizeof Trailer) - 1;
    const QList<QByteArray> lines =
        text.mid(headerSize, text.size() - headerSize - trailerSize).split('\n');
    for (const QByteArray& line : lines) {
        if (line.isEmpty())
            continue;
        if (!NewMail::isValidId(line))
            return std::nullopt;
        ids.insert(line);
    }
    return ids;
}

bool SeenIdStore::save(const QString& server, const QString& user,
                       const QSet<QByteArray>& ids) const
{
    QList<QByteArray> sorted(ids.cbegin(), ids.cend());
    std::sort(sorted.begin(), sorted.end());
    QByteArray text = Header;
    for (const QByteArray& id : sorted)
        text += id + '\n';
    text += '\n';
    text += Trailer;
    if (text.size() >= MaxFileBytes)
        return false;
    if (!QDir().mkpath(m_folder))
        return false;
    QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QSaveFile file(fileName(server, user));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    file.write(text);
    return file.commit();
}
