#include "core/WidgetColors.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPalette>
#include <QTextEdit>
#include <QWidget>

namespace tavrin {

namespace {

bool isEdit(const QWidget *w) { return qobject_cast<const QLineEdit *>(w) || qobject_cast<const QTextEdit *>(w); }

QPalette::ColorRole foreRole(const QWidget *w)
{
    if (qobject_cast<const QAbstractButton *>(w))
        return QPalette::ButtonText;
    return isEdit(w) ? QPalette::Text : QPalette::WindowText;
}

QPalette::ColorRole backRole(const QWidget *w)
{
    if (qobject_cast<const QAbstractButton *>(w))
        return QPalette::Button;
    return isEdit(w) ? QPalette::Base : QPalette::Window;
}

} // namespace

QColor buttonFace() { return QApplication::palette().color(QPalette::Button); }

void setForeColor(QWidget *widget, const QColor &color)
{
    QPalette p = widget->palette();
    p.setColor(foreRole(widget), color);
    widget->setPalette(p);
}

void setBackColor(QWidget *widget, const QColor &color)
{
    QPalette p = widget->palette();
    p.setColor(backRole(widget), color);
    widget->setPalette(p);
    // Labels paint no background unless asked to.
    widget->setAutoFillBackground(true);
}

QColor foreColor(const QWidget *widget) { return widget->palette().color(foreRole(widget)); }
QColor backColor(const QWidget *widget) { return widget->palette().color(backRole(widget)); }

} // namespace tavrin
