#include "audio/VU.h"

#include <QLinearGradient>
#include <QPainter>

namespace tavrin::VU {

void GradientBox(QPainter &painter, int left, int top, int right, int bottom, const QColor &first,
                 const QColor &second, int style)
{
    if (right <= left || bottom <= top)
        return;
    const QRect box(QPoint(left, top), QPoint(right - 1, bottom - 1));
    // The end colour belongs to the last pixel column, as the platform fill puts it.
    QLinearGradient gradient = style == 0 ? QLinearGradient(left, 0, right - 1, 0)
                                          : QLinearGradient(0, top, 0, bottom - 1);
    gradient.setColorAt(0, first);
    gradient.setColorAt(1, second);
    painter.fillRect(box, gradient);
}

QColor colorFromValue(quint32 value)
{
    return QColor(int(value & 0xff), int((value >> 8) & 0xff), int((value >> 16) & 0xff));
}

quint32 valueFromColor(const QColor &color)
{
    return quint32(color.red()) | (quint32(color.green()) << 8) | (quint32(color.blue()) << 16);
}

} // namespace tavrin::VU
