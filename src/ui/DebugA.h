#pragma once
// The debug window: its Debug box shows the protocol log of the run. The log
// itself is kept apart from the box, byte for byte, and the box is only
// filled while the window is visible.

#include "core/DebugLog.h"
#include "core/DefaultInstance.h"

#include <QWidget>

class QPlainTextEdit;

class DebugA : public QWidget
{
    Q_OBJECT
public:
    static DebugA& instance() { return DefaultInstance<DebugA>::get(); }

    DebugA();

    DebugLog& log() { return m_log; }
    QPlainTextEdit* Debug = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refresh();

    DebugLog& m_log;
    qint64 m_shown = 0;        // where the box ends in the run's whole log
    qint64 m_shownLeftOut = 0; // the log's left-out bytes when the box was filled
    bool m_refreshQueued = false;
};
