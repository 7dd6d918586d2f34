#pragma once
// The unique ids each account had on its server at its last completed
// automatic check: one small file per account in the user's data folder,
// ids only, never any message text. The account is the incoming server text
// together with the user name; the file is named by a digest of both.

#include <QByteArray>
#include <QSet>
#include <QString>

#include <optional>

class SeenIdStore
{
public:
    // A file stays under this. The check's bounds keep it so (100,000 ids
    // of at most 70 characters); a larger one is damaged, not read.
    static constexpr qint64 MaxFileBytes = 8 * 1024 * 1024;

    // `folder` empty: "seen-ids" in the user's data folder.
    explicit SeenIdStore(QString folder = QString());

    // No value when the file is missing, unreadable or damaged (not whole,
    // too large, or a line that is no id): the next check is then a first
    // check, which announces nothing.
    std::optional<QSet<QByteArray>> load(const QString& server, const QString& user) const;
    // Replaces the file at once (written beside it, then renamed), readable
    // by its owner only. False when it could not be written, or would not
    // stay under MaxFileBytes (the file is then left as it was).
    bool save(const QString& server, const QString& user, const QSet<QByteArray>& ids) const;

    QString fileName(const QString& server, const QString& user) const;

private:
    QString m_folder;
};
