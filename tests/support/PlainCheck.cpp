#include "support/PlainCheck.h"

#include "ui/PlainText.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QSystemTrayIcon>
#include <QTextDocument>

namespace PlainCheck
{

namespace
{

QString nameOf(const QObject* object)
{
    QStringList path;
    for (; object; object = object->parent())
        path.prepend(QStringLiteral("%1(%2)").arg(QLatin1String(object->metaObject()->className()),
                                                  object->objectName()));
    return path.join(QLatin1Char('/'));
}

bool madeByHelper(const QString& tip)
{
    return tip.isEmpty() || PlainText::toolTip(shownToolTip(tip)) == tip;
}

} // namespace

QString shownToolTip(const QString& tip)
{
    if (!Qt::mightBeRichText(tip))
        return tip;
    QTextDocument document;
    document.setHtml(tip);
    return document.toPlainText();
}

QString shownTrayTip(const QString& tip)
{
    QString shown = shownToolTip(tip);
    shown.remove(QChar(0x2060));
    return shown;
}

QStringList offenders()
{
    QStringList found;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        // The file dialog's labels and tooltips are Qt's own captions; the
        // names it lists come from this machine's disk.
        // Qt's tooltip window shows the tooltips walked here.
        if (qobject_cast<QFileDialog*>(window) || window->inherits("QTipLabel"))
            continue;
        QList<QWidget*> widgets = window->findChildren<QWidget*>();
        widgets.prepend(window);
        for (QWidget* widget : std::as_const(widgets)) {
            if (widget->window() != window) // a window of its own, walked as such
                continue;
            if (auto* label = qobject_cast<QLabel*>(widget)) {
                if (label->textFormat() != Qt::PlainText || label->openExternalLinks() ||
                    (label->textInteractionFlags() & Qt::LinksAccessibleByMouse))
                    found << QStringLiteral("label %1: %2").arg(nameOf(label), label->text());
            }
            if (!madeByHelper(widget->toolTip()))
                found << QStringLiteral("tooltip of %1: %2").arg(nameOf(widget), widget->toolTip());
            if (auto* view = qobject_cast<QAbstractItemView*>(widget); view && view->model()) {
                const QAbstractItemModel* model = view->model();
                for (int row = 0; row < model->rowCount(); ++row) {
                    const QString tip = model->index(row, 0).data(Qt::ToolTipRole).toString();
                    if (!madeByHelper(tip))
                        found << QStringLiteral("tooltip of row %1 of %2: %3")
                                     .arg(row)
                                     .arg(nameOf(view), tip);
                }
            }
        }
        for (QSystemTrayIcon* tray : window->findChildren<QSystemTrayIcon*>()) {
            const QString tip = tray->toolTip();
            if (PlainText::trayToolTip(shownTrayTip(tip)) != tip || Qt::mightBeRichText(tip))
                found << QStringLiteral("tray tip of %1: %2").arg(nameOf(tray), tip);
        }
    }
    return found;
}

} // namespace PlainCheck
