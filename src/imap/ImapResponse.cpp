#include "imap/ImapResponse.h"

namespace
{

bool startsWithWord(QByteArrayView text, QByteArrayView word)
{
    return text.size() >= word.size() &&
           text.first(word.size()).compare(word, Qt::CaseInsensitive) == 0;
}

} // namespace

quint32 ImapResponseCode::number() const
{
    if ((name == "UIDVALIDITY" || name == "UIDNEXT" || name == "UNSEEN") && args.size() == 1 &&
        args.first().isNumber())
        return quint32(args.first().toNumber());
    return 0;
}

QList<QByteArray> ImapResponse::capabilities() const
{
    const QList<ImapValue>* values = nullptr;
    if (kind == Kind::Untagged && name == "CAPABILITY")
        values = &data;
    else if (code.name == "CAPABILITY")
        values = &code.args;
    QList<QByteArray> names;
    if (values) {
        for (const ImapValue& v : *values)
            names << v.text().toUpper();
    }
    return names;
}

const ImapValue* ImapResponse::fetchItem(QByteArrayView item) const
{
    if (!isUntagged("FETCH") || data.size() != 1)
        return nullptr;
    const QList<ImapValue>& items = data.first().items();
    for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
        if (items[i].isAtom(item))
            return &items[i + 1];
    }
    return nullptr;
}

quint32 ImapResponse::fetchUid() const
{
    const ImapValue* uid = fetchItem("UID");
    return uid ? quint32(uid->toNumber()) : 0;
}

QList<QByteArray> ImapResponse::fetchFlags() const
{
    QList<QByteArray> flags;
    if (const ImapValue* list = fetchItem("FLAGS")) {
        for (const ImapValue& flag : list->items())
            flags << flag.text();
    }
    return flags;
}

const ImapValue* ImapResponse::fetchSection() const
{
    if (!isUntagged("FETCH") || data.size() != 1)
        return nullptr;
    const QList<ImapValue>& items = data.first().items();
    for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
        const QByteArray name = items[i].text();
        if (startsWithWord(name, "BODY[") || startsWithWord(name, "BINARY[") ||
            items[i].isAtom("RFC822") || items[i].isAtom("RFC822.HEADER") ||
            items[i].isAtom("RFC822.TEXT"))
            return &items[i + 1];
    }
    return nullptr;
}

QList<quint32> ImapResponse::searchNumbers() const
{
    QList<quint32> numbers;
    if (!isUntagged("SEARCH"))
        return numbers;
    for (const ImapValue& v : data) {
        if (v.isNumber())
            numbers << quint32(v.toNumber());
    }
    return numbers;
}

UidSet ImapResponse::esearchAll() const
{
    if (!isUntagged("ESEARCH"))
        return {};
    // An optional (TAG "...") and UID, then pairs of a name and its value.
    qsizetype i = 0;
    if (i < data.size() && data[i].isList())
        ++i;
    if (i < data.size() && data[i].isAtom("UID"))
        ++i;
    for (; i + 1 < data.size(); i += 2) {
        if (data[i].isAtom("ALL"))
            return UidSet::parse(data[i + 1].text()).value_or(UidSet());
    }
    return {};
}
