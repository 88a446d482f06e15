#include "maintenance/AboutPictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace tavrin::maintenance {

namespace {

QPixmap blank(int size, qreal ratio)
{
    const int pixels = qCeil(size * ratio);
    QPixmap p(pixels, pixels);
    p.setDevicePixelRatio(ratio);
    p.fill(Qt::transparent);
    return p;
}

} // namespace

QPixmap logoPicture(int size, qreal ratio)
{
    // A mast radiating three arcs each side.
    QPixmap p = blank(size, ratio);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    const QPointF top(s / 2, s * 0.38);
    g.setPen(QPen(QColor(0x20, 0x40, 0x90), s / 16, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(top, QPointF(s * 0.32, s * 0.92));
    g.drawLine(top, QPointF(s * 0.68, s * 0.92));
    g.drawLine(QPointF(s * 0.40, s * 0.66), QPointF(s * 0.60, s * 0.66));
    g.setPen(QPen(QColor(0xc0, 0x20, 0x20), s / 20, Qt::SolidLine, Qt::RoundCap));
    for (int k = 1; k <= 3; ++k) {
        const qreal r = s * 0.11 * k;
        const QRectF box(top.x() - r, top.y() - r, 2 * r, 2 * r);
        g.drawArc(box, 30 * 16, 120 * 16);
    }
    g.setBrush(QColor(0xc0, 0x20, 0x20));
    g.setPen(Qt::NoPen);
    g.drawEllipse(top, s / 18, s / 18);
    return p;
}

QPixmap webPicture(int size, qreal ratio)
{
    QPixmap p = blank(size, ratio);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    const QRectF ball(s * 0.08, s * 0.08, s * 0.84, s * 0.84);
    g.setBrush(QColor(0x6c, 0xb4, 0xee));
    g.setPen(QPen(QColor(0x1c, 0x4e, 0x8a), s / 24));
    g.drawEllipse(ball);
    g.setBrush(Qt::NoBrush);
    g.drawEllipse(ball.adjusted(s * 0.24, 0, -s * 0.24, 0));
    g.drawLine(QPointF(s / 2, ball.top()), QPointF(s / 2, ball.bottom()));
    g.drawLine(QPointF(ball.left(), s / 2), QPointF(ball.right(), s / 2));
    const qreal inset = s * 0.07;
    g.drawLine(QPointF(ball.left() + inset, s * 0.3), QPointF(ball.right() - inset, s * 0.3));
    g.drawLine(QPointF(ball.left() + inset, s * 0.7), QPointF(ball.right() - inset, s * 0.7));
    return p;
}

QPixmap mailPicture(int size, qreal ratio)
{
    QPixmap p = blank(size, ratio);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    const QRectF body(s * 0.06, s * 0.22, s * 0.88, s * 0.56);
    g.setBrush(QColor(0xfa, 0xf3, 0xd8));
    g.setPen(QPen(QColor(0x70, 0x50, 0x20), s / 24));
    g.drawRect(body);
    QPainterPath flap;
    flap.moveTo(body.topLeft());
    flap.lineTo(body.center().x(), body.top() + body.height() * 0.6);
    flap.lineTo(body.topRight());
    g.drawPath(flap);
    return p;
}

} // namespace tavrin::maintenance
