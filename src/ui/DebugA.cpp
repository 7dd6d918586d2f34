#include "ui/DebugA.h"

#include "core/Log.h"
#include "ui/Twips.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>

DebugA::DebugA() : m_log(Module1::ProtocolLog())
{
    setObjectName(QStringLiteral("DebugA"));
    setWindowTitle(QStringLiteral("Form1"));
    Twips::resizeClient(this, 7380, 6255);

    Debug = new QPlainTextEdit(this);
    Debug->setObjectName(QStringLiteral("Debug"));
    Debug->setReadOnly(true);
    Debug->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Debug->setLineWrapMode(QPlainTextEdit::NoWrap);
    Twips::place(Debug, 120, 120, 7095, 6015);

    // Closing the window from its title bar only hides it; the log stays.
    connect(&m_log, &DebugLog::appended, this, [this] {
        if (!isVisible() || m_refreshQueued)
            return;
        m_refreshQueued = true;
        QTimer::singleShot(50, this, &DebugA::refresh);
    });
}

void DebugA::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

void DebugA::refresh()
{
    m_refreshQueued = false;
    const qint64 end = m_log.appendedTotal();
    if (end == m_shown)
        return;
    // What the box shows is what the log holds: once older entries have
    // given way (or the log was cleared), the box starts again from the log.
    const bool again = end < m_shown || m_log.leftOut() > m_shownLeftOut;
    QString added = QString::fromUtf8(again ? m_log.text() : m_log.textFrom(m_shown));
    added.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_shown = end;
    m_shownLeftOut = m_log.leftOut();
    if (again)
        Debug->clear();
    QTextCursor cursor(Debug->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(added);
    Debug->verticalScrollBar()->setValue(Debug->verticalScrollBar()->maximum());
}
