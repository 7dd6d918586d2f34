#include "ui/SlideIn.h"

#include <QAbstractScrollArea>
#include <QGuiApplication>
#include <QLibrary>
#include <QThread>
#include <QWidget>

namespace SlideIn
{
namespace
{
int s_pause = PauseMs;

// On X11 the requests that move and paint the window wait in the client's
// buffer until the event loop runs; flushing it makes every step reach the
// display while the thread is blocked. libxcb is already loaded by the
// platform plugin, so it is looked up rather than linked.
void flushX11()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    using Flush = int (*)(xcb_connection_t*);
    static const auto flush =
        reinterpret_cast<Flush>(QLibrary::resolve(QStringLiteral("xcb"), 1, "xcb_flush"));
    if (flush)
        flush(x11->connection());
}
} // namespace

int stepUp(const std::function<float()>& top, const std::function<void(float)>& setTop,
           const std::function<float()>& target)
{
    int steps = 0;
    while (top() > target()) {
        setTop(top() - StepTwips);
        ++steps;
        if (s_pause > 0)
            QThread::msleep(static_cast<unsigned long>(s_pause));
    }
    return steps;
}

void pushToScreen(QWidget* window)
{
    if (!window->isVisible())
        return;
    // A window shown a moment ago counts as mapped only once its expose
    // event has been handled, and until then the toolkit drops its paints.
    // The map request is already on its way to the display, ahead of the
    // painting below, so the window is painted at every step.
    window->setAttribute(Qt::WA_Mapped);
    window->repaint();
    // Scroll areas (the list) paint their contents in a viewport that the
    // window's repaint leaves alone.
    for (QAbstractScrollArea* area : window->findChildren<QAbstractScrollArea*>())
        area->viewport()->repaint();
    flushX11();
}

void setPauseForTest(int ms)
{
    s_pause = ms;
}

int pause()
{
    return s_pause;
}

} // namespace SlideIn
