#include "imap/ImapValue.h"

#include <algorithm>

ImapValue ImapValue::atom(QByteArray text)
{
    ImapValue v;
    v.m_kind = Kind::Atom;
    v.m_text = std::move(text);
    return v;
}

ImapValue ImapValue::number(quint64 value)
{
    ImapValue v;
    v.m_kind = Kind::Number;
    v.m_number = value;
    return v;
}

ImapValue ImapValue::quoted(QByteArray text)
{
    ImapValue v;
    v.m_kind = Kind::Quoted;
    v.m_text = std::move(text);
    return v;
}

ImapValue ImapValue::literal(ByteRange bytes)
{
    ImapValue v;
    v.m_kind = Kind::Literal;
    v.m_literal = std::move(bytes);
    return v;
}

ImapValue ImapValue::nil()
{
    return ImapValue();
}

ImapValue ImapValue::list(QList<ImapValue> items)
{
    ImapValue v;
    v.m_kind = Kind::List;
    v.m_items = std::move(items);
    return v;
}

QByteArray ImapValue::text() const
{
    if (m_kind == Kind::Literal)
        return m_literal.view().toByteArray();
    if (m_kind == Kind::Number)
        return QByteArray::number(m_number);
    return m_text;
}

ByteRange ImapValue::bytes() const
{
    if (m_kind == Kind::Literal)
        return m_literal;
    if (m_kind == Kind::Quoted)
        return ByteRange(m_text);
    return {};
}

bool ImapValue::isAtom(QByteArrayView word) const
{
    return m_kind == Kind::Atom && QByteArrayView(m_text).compare(word, Qt::CaseInsensitive) == 0;
}

int ImapValue::depth() const
{
    if (m_kind != Kind::List)
        return 0;
    int deepest = 0;
    for (const ImapValue& item : m_items)
        deepest = std::max(deepest, item.depth());
    return deepest + 1;
}
