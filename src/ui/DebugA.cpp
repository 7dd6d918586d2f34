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
    if (m_log.size() < m_shown) { // the log was cleared
        Debug->clear();
        m_shown = 0;
    }
    if (m_log.size() == m_shown)
        return;
    QString added = QString::fromUtf8(m_log.textFrom(m_shown));
    added.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_shown = m_log.size();
    QTextCursor cursor(Debug->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(added);
    Debug->verticalScrollBar()->setValue(Debug->verticalScrollBar()->maximum());
}
