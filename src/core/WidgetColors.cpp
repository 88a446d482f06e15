#include "core/WidgetColors.h"

#include "ui/ReadableColors.h"

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

// Set on a control whose text colour the program chose: its background leaves it alone.
constexpr char kOwnTextColour[] = "tavrinOwnTextColour";

} // namespace

QColor buttonFace() { return QApplication::palette().color(QPalette::Button); }

void setForeColor(QWidget *widget, const QColor &color)
{
    QPalette p = widget->palette();
    p.setColor(foreRole(widget), color);
    // A blue callsign on a dark desktop's field: the field turns white, as the colour expects.
    if (ui::needsLightField(color, p.color(backRole(widget)))) {
        p.setColor(backRole(widget), Qt::white);
        widget->setAutoFillBackground(true);
    }
    widget->setPalette(p);
    widget->setProperty(kOwnTextColour, true);
}

void setBackColor(QWidget *widget, const QColor &color)
{
    QPalette p = widget->palette();
    p.setColor(backRole(widget), color);
    // The desktop's text colour unless it vanishes there (light text on the light-grey button).
    if (!widget->property(kOwnTextColour).toBool())
        ui::keepTextReadable(p, foreRole(widget), color);
    widget->setPalette(p);
    // Labels paint no background unless asked to.
    widget->setAutoFillBackground(true);
}

QColor foreColor(const QWidget *widget) { return widget->palette().color(foreRole(widget)); }
QColor backColor(const QWidget *widget) { return widget->palette().color(backRole(widget)); }

} // namespace tavrin
