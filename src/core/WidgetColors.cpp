#include "core/WidgetColors.h"

#include "ui/OwnColours.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

namespace tavrin {

QColor buttonFace() { return QApplication::palette().color(QPalette::Button); }

void setForeColor(QWidget *widget, const QColor &color) { ui::setOwnTextColour(widget, color); }

void setBackColor(QWidget *widget, const QColor &color) { ui::setOwnBackground(widget, color); }

QColor foreColor(const QWidget *widget) { return widget->palette().color(ui::textRoleOf(widget)); }
QColor backColor(const QWidget *widget) { return widget->palette().color(ui::backgroundRoleOf(widget)); }

} // namespace tavrin
