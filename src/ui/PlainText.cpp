#include "ui/PlainText.h"

#include "core/TextClip.h"

#include <QLabel>
#include <QMessageBox>

namespace
{

const QChar WordJoiner(0x2060);

void makeBoxPlain(QMessageBox& box)
{
    box.setTextFormat(Qt::PlainText);
    for (QLabel* label : box.findChildren<QLabel*>())
        PlainText::makePlain(label);
}

} // namespace

namespace PlainText
{

QString clipped(const QString& text)
{
    return TextClip::clipped(text, MaxShown);
}

void makePlain(QLabel* label)
{
    label->setTextFormat(Qt::PlainText);
    label->setOpenExternalLinks(false);
    label->setTextInteractionFlags(label->textInteractionFlags() &
                                   ~(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard));
}

void setText(QLabel* label, const QString& text)
{
    makePlain(label);
    label->setText(text);
}

QString toolTip(const QString& text)
{
    if (text.isEmpty())
        return QString();
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

QString trayToolTip(const QString& text)
{
    QString tip;
    tip.reserve(text.size() + 8);
    for (const QChar c : text) {
        tip += c;
        if (c == QLatin1Char('<') || c == QLatin1Char('&'))
            tip += WordJoiner;
    }
    return tip;
}

void setText(QMessageBox& box, const QString& text)
{
    makeBoxPlain(box);
    box.setText(text);
}

void setInformativeText(QMessageBox& box, const QString& text)
{
    if (text.isEmpty()) {
        box.setInformativeText(QString());
        return;
    }
    // The box makes its label on the first informative text and reads that
    // text as it pleases: it gets a blank one, then the label is made plain
    // and given the text.
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
    if (!label) {
        box.setInformativeText(QStringLiteral(" "));
        label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
    }
    makeBoxPlain(box);
    if (label)
        label->setText(text);
}

void warning(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, title, QString(), QMessageBox::Ok, parent);
    setText(box, text);
    box.exec();
}

} // namespace PlainText
