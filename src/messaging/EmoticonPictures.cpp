// The emoticon pictures: our own drawings, painted once per process on an 18 px grid.
// One style throughout: soft gradient fill, thin dark outline, round caps. Faces are yellow
// discs; the objects (beer, globe, radio, ...) are simple flat icons in the same line weight.
// All coordinates below are in the 18-unit picture space.

#include "messaging/Emoticons.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace tavrin::messaging {

namespace {

const QColor kInk(0x3a, 0x24, 0x00);
const QColor kOutline(0x70, 0x48, 0x00);
const QColor kFaceLight(0xff, 0xf3, 0x8a);
const QColor kFaceDark(0xf4, 0xb4, 0x10);
const QColor kRed(0xe0, 0x24, 0x1b);
const QColor kWhite(Qt::white);
const QPointF kCentre(9, 9);

QPen pen(const QColor &colour, qreal width = 1.3)
{
    QPen p(colour, width);
    p.setCapStyle(Qt::RoundCap);
    p.setJoinStyle(Qt::RoundJoin);
    return p;
}

void face(QPainter &p, QPointF c = kCentre, qreal r = 8.0, const QColor &light = kFaceLight,
          const QColor &dark = kFaceDark, const QColor &outline = kOutline)
{
    QRadialGradient g(c + QPointF(-2.0, -2.5), r * 1.3);
    g.setColorAt(0, light);
    g.setColorAt(1, dark);
    p.setBrush(g);
    p.setPen(pen(outline, 1.0));
    p.drawEllipse(c, r, r);
}

void dot(QPainter &p, QPointF c, qreal rx = 1.05, qreal ry = 1.4, const QColor &colour = kInk)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(c, rx, ry);
}

void eyes(QPainter &p, qreal y = 6.8) { dot(p, {6.3, y}); dot(p, {11.7, y}); }

void stroke(QPainter &p, const QPainterPath &path, qreal width = 1.3, const QColor &colour = kInk)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(colour, width));
    p.drawPath(path);
}

void curve(QPainter &p, QPointF a, QPointF ctrl, QPointF b, qreal width = 1.3, const QColor &colour = kInk)
{
    QPainterPath path(a);
    path.quadTo(ctrl, b);
    stroke(p, path, width, colour);
}

void line(QPainter &p, QPointF a, QPointF b, qreal width = 1.3, const QColor &colour = kInk)
{
    p.setPen(pen(colour, width));
    p.drawLine(a, b);
}

void smile(QPainter &p) { curve(p, {5.2, 10.6}, {9, 14.8}, {12.8, 10.6}); }
void closedEyes(QPainter &p)
{
    curve(p, {5.0, 7.0}, {6.3, 5.4}, {7.6, 7.0}, 1.1);
    curve(p, {10.4, 7.0}, {11.7, 5.4}, {13.0, 7.0}, 1.1);
}
void angryBrows(QPainter &p)
{
    line(p, {4.4, 4.4}, {7.8, 6.0}, 1.2);
    line(p, {13.6, 4.4}, {10.2, 6.0}, 1.2);
}
void worriedBrows(QPainter &p)
{
    line(p, {4.6, 5.0}, {7.6, 3.9}, 1.0);
    line(p, {13.4, 5.0}, {10.4, 3.9}, 1.0);
}
void filledMouth(QPainter &p, const QPainterPath &path, const QColor &fill = QColor(0x5a, 0x16, 0x08))
{
    p.setBrush(fill);
    p.setPen(pen(kInk, 1.0));
    p.drawPath(path);
}
QPainterPath grinPath(qreal left = 5.0, qreal right = 13.0, qreal top = 10.2, qreal depth = 15.8)
{
    QPainterPath m({left, top});
    m.quadTo({9, top + 0.8}, {right, top});
    m.quadTo({9, depth}, {left, top});
    return m;
}
void heart(QPainter &p, QPointF c, qreal s, const QColor &colour)
{
    QPainterPath h({c.x(), c.y() + s});
    h.cubicTo({c.x() - 1.6 * s, c.y() - 0.1 * s}, {c.x() - 0.7 * s, c.y() - 1.3 * s}, {c.x(), c.y() - 0.4 * s});
    h.cubicTo({c.x() + 0.7 * s, c.y() - 1.3 * s}, {c.x() + 1.6 * s, c.y() - 0.1 * s}, {c.x(), c.y() + s});
    p.setBrush(colour);
    p.setPen(pen(colour.darker(140), 0.6));
    p.drawPath(h);
}

// --- faces ---------------------------------------------------------------------------

void drawSmile(QPainter &p) { face(p); eyes(p); smile(p); }

void drawWink(QPainter &p)
{
    face(p);
    dot(p, {6.3, 6.8});
    curve(p, {10.3, 7.2}, {11.7, 5.6}, {13.1, 7.2}, 1.2);
    curve(p, {5.4, 11.2}, {9.8, 14.4}, {13.0, 10.0});
}

void drawSad(QPainter &p) { face(p); eyes(p); curve(p, {5.6, 13.4}, {9, 9.4}, {12.4, 13.4}); }

void drawSurprised(QPainter &p)
{
    face(p);
    dot(p, {6.3, 6.6}, 1.2, 1.6);
    dot(p, {11.7, 6.6}, 1.2, 1.6);
    p.setBrush(QColor(0x5a, 0x16, 0x08));
    p.setPen(pen(kInk, 1.0));
    p.drawEllipse(QPointF(9, 12.4), 1.8, 2.3);
}

void drawConfused(QPainter &p)
{
    face(p);
    eyes(p, 7.2);
    line(p, {10.4, 4.6}, {13.0, 3.9}, 1.1);
    QPainterPath m({5.6, 12.4});
    m.cubicTo({7.0, 10.6}, {8.2, 14.0}, {9.4, 12.2});
    m.cubicTo({10.6, 10.4}, {11.8, 13.8}, {12.8, 11.6});
    stroke(p, m);
}

void drawCool(QPainter &p)
{
    face(p);
    p.setPen(pen(QColor(0x10, 0x10, 0x10), 0.8));
    p.setBrush(QColor(0x18, 0x18, 0x28));
    p.drawRoundedRect(QRectF(3.3, 5.0, 5.0, 3.4), 1.4, 1.4);
    p.drawRoundedRect(QRectF(9.7, 5.0, 5.0, 3.4), 1.4, 1.4);
    line(p, {8.3, 5.9}, {9.7, 5.9}, 0.9, QColor(0x10, 0x10, 0x10));
    line(p, {4.4, 5.9}, {5.6, 5.9}, 0.7, QColor(0xff, 0xff, 0xff, 0xb0));
    line(p, {10.8, 5.9}, {12.0, 5.9}, 0.7, QColor(0xff, 0xff, 0xff, 0xb0));
    curve(p, {6.0, 11.6}, {9.6, 14.0}, {12.8, 10.8});
}

void drawDead(QPainter &p)
{
    face(p);
    for (qreal x : {6.3, 11.7}) {
        line(p, {x - 1.4, 5.4}, {x + 1.4, 8.2}, 1.2);
        line(p, {x + 1.4, 5.4}, {x - 1.4, 8.2}, 1.2);
    }
    QPainterPath m({5.8, 12.6});
    m.cubicTo({7.0, 11.6}, {8.0, 13.6}, {9.0, 12.6});
    m.cubicTo({10.0, 11.6}, {11.0, 13.6}, {12.2, 12.6});
    stroke(p, m, 1.1);
}

void drawEvil(QPainter &p)
{
    face(p);
    angryBrows(p);
    eyes(p, 7.8);
    filledMouth(p, grinPath(4.6, 13.4, 10.4, 15.6));
    line(p, {6.0, 11.2}, {12.0, 11.2}, 0.9, kWhite);
}

void drawGrin(QPainter &p)
{
    face(p);
    eyes(p, 6.4);
    filledMouth(p, grinPath(4.6, 13.4, 9.8, 16.6));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf0, 0x60, 0x60));
    p.drawEllipse(QPointF(9, 13.6), 2.2, 1.1);
}

void drawSmirk(QPainter &p)
{
    face(p);
    eyes(p);
    line(p, {4.8, 5.0}, {7.6, 5.0}, 1.0);
    line(p, {10.4, 4.4}, {13.0, 4.8}, 1.0);
    curve(p, {6.4, 12.4}, {10.8, 13.2}, {12.9, 10.2});
}

void drawTeeth(QPainter &p)
{
    face(p);
    eyes(p, 6.4);
    const QRectF mouth(4.8, 10.0, 8.4, 3.8);
    p.setBrush(kWhite);
    p.setPen(pen(kInk, 1.0));
    p.drawRoundedRect(mouth, 1.6, 1.6);
    for (qreal x : {7.0, 9.0, 11.0})
        line(p, {x, 10.3}, {x, 13.5}, 0.6);
    line(p, {5.2, 11.9}, {12.8, 11.9}, 0.6);
}

void drawKiss(QPainter &p)
{
    face(p);
    curve(p, {5.0, 6.4}, {6.3, 8.0}, {7.6, 6.4}, 1.1);
    curve(p, {10.4, 6.4}, {11.7, 8.0}, {13.0, 6.4}, 1.1);
    p.setBrush(kRed);
    p.setPen(pen(kRed.darker(150), 0.7));
    p.drawEllipse(QPointF(9.6, 12.2), 1.6, 1.3);
    heart(p, {14.6, 3.4}, 2.6, kRed);
}

void drawWorried(QPainter &p)
{
    face(p);
    worriedBrows(p);
    eyes(p, 7.2);
    line(p, {6.2, 12.9}, {12.0, 11.3}, 1.3);
}

void drawRollEyes(QPainter &p)
{
    face(p);
    for (qreal x : {6.3, 11.7}) {
        p.setBrush(kWhite);
        p.setPen(pen(kInk, 0.8));
        p.drawEllipse(QPointF(x, 6.8), 2.0, 2.2);
        dot(p, {x + 0.3, 5.6}, 0.9, 0.9);
    }
    line(p, {6.6, 12.4}, {11.4, 12.4});
}

void drawHush(QPainter &p)
{
    face(p);
    eyes(p);
    line(p, {5.4, 12.0}, {12.6, 12.0}, 1.2);
    for (qreal x = 6.4; x < 12.0; x += 1.4)
        line(p, {x, 11.0}, {x, 13.0}, 0.7);
    p.setBrush(QColor(0xb0, 0xb0, 0xb8));
    p.setPen(pen(kInk, 0.7));
    p.drawRoundedRect(QRectF(12.4, 11.0, 2.2, 2.8), 0.6, 0.6);
}

void drawCrying(QPainter &p)
{
    face(p);
    worriedBrows(p);
    eyes(p, 7.2);
    curve(p, {6.0, 13.6}, {9, 10.4}, {12.0, 13.6});
    QPainterPath tear({5.4, 8.8});
    tear.cubicTo({4.0, 11.2}, {4.2, 12.6}, {5.4, 12.6});
    tear.cubicTo({6.6, 12.6}, {6.8, 11.2}, {5.4, 8.8});
    p.setBrush(QColor(0x4a, 0xa8, 0xff));
    p.setPen(pen(QColor(0x1a, 0x5c, 0xc0), 0.6));
    p.drawPath(tear);
}

void drawNerd(QPainter &p)
{
    face(p);
    for (qreal x : {6.0, 12.0}) {
        p.setBrush(QColor(0xff, 0xff, 0xff, 0xc0));
        p.setPen(pen(kInk, 0.9));
        p.drawEllipse(QPointF(x, 7.0), 2.5, 2.5);
        dot(p, {x, 7.2}, 0.9, 1.0);
    }
    line(p, {8.5, 7.0}, {9.5, 7.0}, 0.9);
    curve(p, {5.0, 11.2}, {9, 15.0}, {13.0, 11.2});
    p.setBrush(kWhite);
    p.setPen(pen(kInk, 0.6));
    p.drawRect(QRectF(7.8, 12.2, 1.2, 1.5));
    p.drawRect(QRectF(9.0, 12.2, 1.2, 1.5));
}

void drawTongue(QPainter &p)
{
    face(p);
    closedEyes(p);
    QPainterPath t({7.2, 11.8});
    t.lineTo(7.2, 13.6);
    t.quadTo({9, 16.6}, {10.8, 13.6});
    t.lineTo(10.8, 11.8);
    p.setBrush(QColor(0xff, 0x6e, 0x8a));
    p.setPen(pen(QColor(0xa0, 0x20, 0x40), 0.8));
    p.drawPath(t);
    line(p, {9, 12.2}, {9, 14.2}, 0.6, QColor(0xa0, 0x20, 0x40));
    curve(p, {5.2, 11.0}, {9, 12.6}, {12.8, 11.0});
}

void drawMeh(QPainter &p)
{
    face(p);
    eyes(p);
    QPainterPath m({6.0, 12.4});
    m.lineTo(11.0, 12.4);
    m.lineTo(12.4, 11.0);
    stroke(p, m);
}

void drawSick(QPainter &p)
{
    face(p, kCentre, 8.0, QColor(0xd8, 0xf5, 0x8c), QColor(0x78, 0xbe, 0x2a), QColor(0x3c, 0x66, 0x10));
    line(p, {4.8, 7.0}, {7.6, 7.0}, 1.2);
    line(p, {10.4, 7.0}, {13.2, 7.0}, 1.2);
    dot(p, {6.4, 7.8}, 0.8, 0.7);
    dot(p, {11.8, 7.8}, 0.8, 0.7);
    QPainterPath m({5.6, 12.8});
    m.cubicTo({6.8, 11.2}, {8.0, 14.2}, {9.2, 12.6});
    m.cubicTo({10.4, 11.0}, {11.6, 14.0}, {12.6, 12.4});
    stroke(p, m, 1.2);
}

void drawClown(QPainter &p)
{
    p.setPen(pen(QColor(0x1a, 0x4a, 0xa0), 0.6));
    p.setBrush(QColor(0x3a, 0x7c, 0xf0));
    for (QPointF c : {QPointF(2.6, 5.0), QPointF(15.4, 5.0), QPointF(2.0, 8.2), QPointF(16.0, 8.2)})
        p.drawEllipse(c, 2.0, 2.0);
    face(p, kCentre, 7.6, QColor(0xff, 0xfa, 0xf0), QColor(0xf0, 0xe0, 0xc8));
    eyes(p, 6.4);
    curve(p, {4.6, 10.8}, {9, 16.0}, {13.4, 10.8}, 1.3, kRed);
    p.setBrush(kRed);
    p.setPen(pen(kRed.darker(150), 0.6));
    p.drawEllipse(QPointF(9, 9.4), 1.9, 1.9);
}

void drawAngry(QPainter &p)
{
    face(p, kCentre, 8.0, QColor(0xff, 0xb0, 0x80), QColor(0xe0, 0x3a, 0x1e), QColor(0x80, 0x18, 0x08));
    angryBrows(p);
    eyes(p, 7.8);
    curve(p, {5.8, 13.6}, {9, 10.6}, {12.2, 13.6});
}

void drawPirate(QPainter &p)
{
    face(p);
    // bandana over the crown, knotted on the left
    p.setBrush(kRed);
    p.setPen(pen(kRed.darker(160), 0.8));
    p.drawChord(QRectF(1, 1, 16, 16), 20 * 16, 140 * 16);
    p.drawEllipse(QPointF(2.0, 5.0), 1.3, 1.0);
    dot(p, {6.0, 3.2}, 0.5, 0.5, kWhite);
    dot(p, {9.6, 2.4}, 0.5, 0.5, kWhite);
    dot(p, {12.6, 3.6}, 0.5, 0.5, kWhite);
    dot(p, {6.3, 8.0});
    line(p, {2.2, 6.2}, {15.6, 9.4}, 0.8, QColor(0x10, 0x10, 0x10));
    p.setBrush(QColor(0x10, 0x10, 0x10));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(11.8, 8.2), 2.0, 1.7);
    curve(p, {5.4, 11.6}, {9.4, 14.8}, {12.6, 11.4});
}

void drawDevil(QPainter &p)
{
    const QColor horn(0x8a, 0x0c, 0x0c);
    p.setBrush(horn);
    p.setPen(pen(horn.darker(130), 0.6));
    QPainterPath left({3.0, 5.6});
    left.quadTo({1.2, 2.4}, {1.8, 0.4});
    left.quadTo({4.4, 1.6}, {6.6, 2.4});
    p.drawPath(left);
    QPainterPath right({15.0, 5.6});
    right.quadTo({16.8, 2.4}, {16.2, 0.4});
    right.quadTo({13.6, 1.6}, {11.4, 2.4});
    p.drawPath(right);
    face(p, {9, 9.6}, 7.8, QColor(0xff, 0x7a, 0x5a), QColor(0xc8, 0x14, 0x14), QColor(0x6a, 0x08, 0x08));
    angryBrows(p);
    dot(p, {6.3, 8.0}, 1.0, 1.2, QColor(0x30, 0x00, 0x00));
    dot(p, {11.7, 8.0}, 1.0, 1.2, QColor(0x30, 0x00, 0x00));
    filledMouth(p, grinPath(5.0, 13.0, 11.0, 16.2), QColor(0x30, 0x00, 0x00));
    line(p, {6.6, 11.7}, {11.4, 11.7}, 0.8, kWhite);
}

void drawMonk(QPainter &p)
{
    face(p, kCentre, 8.0, QColor(0xa8, 0x74, 0x40), QColor(0x5c, 0x38, 0x14), QColor(0x38, 0x20, 0x08));
    face(p, {9, 10.2}, 5.2, QColor(0xff, 0xe4, 0xc4), QColor(0xee, 0xb8, 0x88), QColor(0x80, 0x50, 0x20));
    curve(p, {6.0, 9.4}, {7.0, 10.4}, {8.0, 9.4}, 1.0);
    curve(p, {10.0, 9.4}, {11.0, 10.4}, {12.0, 9.4}, 1.0);
    curve(p, {7.4, 12.4}, {9, 13.8}, {10.6, 12.4}, 1.0);
}

void drawAngel(QPainter &p)
{
    face(p, {9, 10.2}, 7.4);
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(QColor(0xf0, 0xb0, 0x00), 1.4));
    p.drawEllipse(QPointF(9, 2.0), 4.8, 1.3);
    curve(p, {5.0, 8.6}, {6.3, 10.0}, {7.6, 8.6}, 1.1);
    curve(p, {10.4, 8.6}, {11.7, 10.0}, {13.0, 8.6}, 1.1);
    curve(p, {5.8, 12.2}, {9, 15.6}, {12.2, 12.2});
}

void drawAlien(QPainter &p)
{
    QPainterPath head({9, 17.0});
    head.cubicTo({4.0, 16.0}, {0.8, 9.0}, {1.4, 6.0});
    head.cubicTo({2.2, 1.0}, {15.8, 1.0}, {16.6, 6.0});
    head.cubicTo({17.2, 9.0}, {14.0, 16.0}, {9, 17.0});
    QRadialGradient g(QPointF(7, 5), 12);
    g.setColorAt(0, QColor(0xc4, 0xf7, 0x8a));
    g.setColorAt(1, QColor(0x3c, 0x9c, 0x2a));
    p.setBrush(g);
    p.setPen(pen(QColor(0x1c, 0x50, 0x10), 1.0));
    p.drawPath(head);
    for (int side : {-1, 1}) {
        p.save();
        p.translate(9 + side * 3.4, 8.2);
        p.rotate(side * 30);
        p.setBrush(QColor(0x08, 0x08, 0x10));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(0, 0), 2.8, 1.6);
        p.restore();
        dot(p, {9 + side * 3.0, 7.6}, 0.5, 0.5, kWhite);
    }
    line(p, {7.8, 13.4}, {10.2, 13.4}, 1.0, QColor(0x1c, 0x50, 0x10));
}

// --- objects -------------------------------------------------------------------------

void drawEchoLink(QPainter &p)
{
    face(p, kCentre, 8.0, QColor(0x5a, 0x9c, 0xff), QColor(0x0c, 0x3c, 0x9c), QColor(0x06, 0x22, 0x60));
    const QPointF source(5.4, 12.6);
    dot(p, source, 1.4, 1.4, kWhite);
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(kWhite, 1.4));
    for (qreal r : {4.0, 7.0})
        p.drawArc(QRectF(source.x() - r, source.y() - r, 2 * r, 2 * r), 5 * 16, 80 * 16);
}

void drawDrink(QPainter &p)
{
    QPainterPath bowl({2.6, 3.0});
    bowl.lineTo(15.4, 3.0);
    bowl.lineTo(9, 10.2);
    bowl.closeSubpath();
    QLinearGradient g(0, 3, 0, 10);
    g.setColorAt(0, QColor(0xff, 0xa8, 0xd0));
    g.setColorAt(1, QColor(0xe0, 0x40, 0x88));
    p.setBrush(g);
    p.setPen(pen(QColor(0x50, 0x50, 0x60), 1.0));
    p.drawPath(bowl);
    line(p, {9, 10.2}, {9, 15.4}, 1.2, QColor(0x50, 0x50, 0x60));
    line(p, {5.4, 15.6}, {12.6, 15.6}, 1.4, QColor(0x50, 0x50, 0x60));
    line(p, {12.8, 0.8}, {10.2, 6.0}, 0.8, QColor(0x60, 0x40, 0x20));
    dot(p, {11.6, 3.2}, 1.4, 1.4, QColor(0x50, 0xa0, 0x20));
}

void drawLoo(QPainter &p)
{
    const QColor edge(0x46, 0x4c, 0x58);
    p.setPen(pen(edge, 1.0));
    QLinearGradient g(0, 0, 18, 0);
    g.setColorAt(0, kWhite);
    g.setColorAt(1, QColor(0xc8, 0xd4, 0xe4));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(2.4, 1.6, 4.6, 7.4), 1.0, 1.0);
    QPainterPath bowl({2.4, 9.0});
    bowl.lineTo(15.8, 9.0);
    bowl.quadTo({15.8, 13.6}, {10.4, 14.2});
    bowl.lineTo(11.0, 16.6);
    bowl.lineTo(5.4, 16.6);
    bowl.lineTo(6.0, 13.6);
    bowl.quadTo({2.4, 12.6}, {2.4, 9.0});
    p.drawPath(bowl);
    line(p, {2.0, 9.0}, {16.2, 9.0}, 1.6, QColor(0x3a, 0x7c, 0xd0));
    line(p, {3.6, 3.4}, {5.2, 3.4}, 1.0, edge);
}

void drawBeer(QPainter &p)
{
    const QColor edge(0x7a, 0x48, 0x08);
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(edge, 1.6));
    p.drawRoundedRect(QRectF(11.2, 7.0, 4.2, 6.2), 1.8, 1.8);
    QLinearGradient g(2.5, 0, 12, 0);
    g.setColorAt(0, QColor(0xff, 0xd8, 0x40));
    g.setColorAt(1, QColor(0xe0, 0x88, 0x00));
    p.setBrush(g);
    p.setPen(pen(edge, 1.0));
    p.drawRoundedRect(QRectF(2.6, 4.6, 9.4, 12.0), 1.2, 1.2);
    p.setBrush(kWhite);
    p.setPen(pen(QColor(0xb0, 0xa8, 0x98), 0.7));
    for (QPointF c : {QPointF(4.0, 4.4), QPointF(6.6, 3.4), QPointF(9.4, 3.8), QPointF(11.2, 4.8)})
        p.drawEllipse(c, 2.1, 2.1);
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(3.0, 4.4, 8.6, 1.6));
    line(p, {5.2, 8.0}, {5.2, 14.6}, 0.9, QColor(0xff, 0xf4, 0xb0));
}

void drawSkull(QPainter &p)
{
    const QColor bone(0xf6, 0xf2, 0xe4);
    const QColor edge(0x40, 0x40, 0x40);
    p.setBrush(bone);
    p.setPen(pen(edge, 1.0));
    QPainterPath s({5.6, 16.4});
    s.lineTo(5.6, 13.4);
    s.cubicTo({1.0, 11.6}, {1.4, 1.2}, {9, 1.2});
    s.cubicTo({16.6, 1.2}, {17.0, 11.6}, {12.4, 13.4});
    s.lineTo(12.4, 16.4);
    s.closeSubpath();
    p.drawPath(s);
    dot(p, {6.4, 8.2}, 1.9, 2.0, QColor(0x20, 0x20, 0x20));
    dot(p, {11.6, 8.2}, 1.9, 2.0, QColor(0x20, 0x20, 0x20));
    QPainterPath nose({9, 10.4});
    nose.lineTo(8.0, 12.2);
    nose.lineTo(10.0, 12.2);
    nose.closeSubpath();
    p.setBrush(QColor(0x20, 0x20, 0x20));
    p.setPen(Qt::NoPen);
    p.drawPath(nose);
    for (qreal x : {7.6, 9.0, 10.4})
        line(p, {x, 14.2}, {x, 16.2}, 0.7, edge);
}

void drawXmasTree(QPainter &p)
{
    p.setBrush(QColor(0x7a, 0x4a, 0x1c));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(7.8, 14.0, 2.4, 3.2));
    QLinearGradient g(0, 2, 0, 15);
    g.setColorAt(0, QColor(0x4c, 0xc0, 0x4c));
    g.setColorAt(1, QColor(0x12, 0x70, 0x22));
    p.setBrush(g);
    p.setPen(pen(QColor(0x0a, 0x48, 0x14), 0.9));
    QPainterPath tree({9, 2.2});
    tree.lineTo(12.6, 7.0);
    tree.lineTo(11.0, 7.0);
    tree.lineTo(14.6, 11.0);
    tree.lineTo(12.6, 11.0);
    tree.lineTo(16.4, 14.6);
    tree.lineTo(1.6, 14.6);
    tree.lineTo(5.4, 11.0);
    tree.lineTo(3.4, 11.0);
    tree.lineTo(7.0, 7.0);
    tree.lineTo(5.4, 7.0);
    tree.closeSubpath();
    p.drawPath(tree);
    dot(p, {7.4, 9.0}, 0.9, 0.9, kRed);
    dot(p, {10.8, 12.2}, 0.9, 0.9, kRed);
    dot(p, {6.0, 13.0}, 0.9, 0.9, QColor(0x40, 0x80, 0xff));
    dot(p, {10.2, 8.2}, 0.8, 0.8, QColor(0xff, 0xd0, 0x20));
    QPainterPath star;
    for (int i = 0; i < 10; ++i) {
        const qreal r = (i % 2) ? 1.0 : 2.4;
        const qreal a = -M_PI / 2 + i * M_PI / 5;
        const QPointF pt(9 + r * std::cos(a), 2.4 + r * std::sin(a));
        if (i == 0)
            star.moveTo(pt);
        else
            star.lineTo(pt);
    }
    star.closeSubpath();
    p.setBrush(QColor(0xff, 0xd8, 0x10));
    p.setPen(pen(QColor(0xb0, 0x80, 0x00), 0.5));
    p.drawPath(star);
}

void drawWorld(QPainter &p)
{
    face(p, kCentre, 8.0, QColor(0x7c, 0xc4, 0xff), QColor(0x14, 0x5a, 0xb8), QColor(0x0a, 0x30, 0x70));
    p.save();
    QPainterPath clip;
    clip.addEllipse(kCentre, 7.5, 7.5);
    p.setClipPath(clip);
    p.setBrush(QColor(0x4c, 0xb0, 0x3c));
    p.setPen(pen(QColor(0x2a, 0x70, 0x20), 0.6));
    QPainterPath west({3.0, 4.0});
    west.cubicTo({6.0, 2.4}, {8.4, 4.0}, {7.6, 6.4});
    west.cubicTo({7.0, 8.2}, {5.6, 8.0}, {6.2, 10.2});
    west.cubicTo({6.8, 12.6}, {5.4, 15.4}, {4.4, 14.2});
    west.cubicTo({3.0, 12.0}, {2.4, 9.0}, {1.4, 8.0});
    west.closeSubpath();
    p.drawPath(west);
    QPainterPath east({10.4, 3.2});
    east.cubicTo({13.0, 2.4}, {16.4, 4.4}, {16.4, 7.6});
    east.cubicTo({15.0, 8.4}, {13.6, 7.6}, {13.2, 9.6});
    east.cubicTo({13.0, 12.0}, {11.4, 14.0}, {10.8, 12.2});
    east.cubicTo({10.4, 10.6}, {9.4, 8.4}, {10.8, 7.4});
    east.cubicTo({9.6, 6.4}, {9.2, 4.6}, {10.4, 3.2});
    p.drawPath(east);
    p.restore();
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(QColor(0xff, 0xff, 0xff, 0x70), 0.6));
    p.drawEllipse(kCentre, 3.4, 7.6);
    p.drawLine(QPointF(1.2, 9), QPointF(16.8, 9));
}

void drawBadge73(QPainter &p)
{
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(0.8, 2.0, 16.4, 11.4), 3.2, 3.2);
    QPainterPath tail({4.0, 12.6});
    tail.lineTo(3.4, 16.6);
    tail.lineTo(8.0, 12.6);
    tail.closeSubpath();
    bubble = bubble.united(tail);
    QLinearGradient g(0, 2, 0, 16);
    g.setColorAt(0, QColor(0xf0, 0x5a, 0x4a));
    g.setColorAt(1, QColor(0xb0, 0x1c, 0x14));
    p.setBrush(g);
    p.setPen(pen(QColor(0x70, 0x0c, 0x08), 1.0));
    p.drawPath(bubble);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(10);
    f.setBold(true);
    QPainterPath text;
    text.addText(0, 0, f, QStringLiteral("73"));
    const QRectF box = text.boundingRect();
    text.translate(9 - box.center().x(), 7.7 - box.center().y());
    p.setBrush(kWhite);
    p.setPen(Qt::NoPen);
    p.drawPath(text);
}

void drawOk(QPainter &p)
{
    face(p, kCentre, 8.0, QColor(0x86, 0xe8, 0x70), QColor(0x1c, 0x9a, 0x2c), QColor(0x0c, 0x50, 0x14));
    QPainterPath tick({4.8, 9.4});
    tick.lineTo(7.8, 12.4);
    tick.lineTo(13.4, 5.8);
    stroke(p, tick, 2.2, kWhite);
}

void drawSpeaker(QPainter &p)
{
    const QColor edge(0x30, 0x30, 0x38);
    QPainterPath body({1.6, 6.4});
    body.lineTo(4.8, 6.4);
    body.lineTo(9.2, 2.4);
    body.lineTo(9.2, 15.6);
    body.lineTo(4.8, 11.6);
    body.lineTo(1.6, 11.6);
    body.closeSubpath();
    QLinearGradient g(0, 2, 0, 16);
    g.setColorAt(0, QColor(0xa8, 0xb0, 0xc0));
    g.setColorAt(1, QColor(0x50, 0x58, 0x68));
    p.setBrush(g);
    p.setPen(pen(edge, 1.0));
    p.drawPath(body);
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(QColor(0x1a, 0x6c, 0xe0), 1.3));
    for (qreal r : {2.6, 5.2})
        p.drawArc(QRectF(10.0 - r, 9 - r, 2 * r, 2 * r), -50 * 16, 100 * 16);
}

void drawWeather(QPainter &p)
{
    const QPointF sun(6.4, 6.6);
    p.setPen(pen(QColor(0xf0, 0x9a, 0x00), 1.1));
    for (int i = 0; i < 8; ++i) {
        const qreal a = i * M_PI / 4;
        p.drawLine(sun + QPointF(4.0 * std::cos(a), 4.0 * std::sin(a)),
                   sun + QPointF(5.6 * std::cos(a), 5.6 * std::sin(a)));
    }
    face(p, sun, 3.2, QColor(0xff, 0xf0, 0x60), QColor(0xff, 0xb0, 0x00), QColor(0xc0, 0x70, 0x00));
    QPainterPath cloud;
    cloud.addEllipse(QPointF(8.0, 13.0), 3.2, 2.8);
    cloud.addEllipse(QPointF(11.6, 10.8), 3.8, 3.6);
    cloud.addEllipse(QPointF(14.6, 13.2), 2.8, 2.6);
    cloud.addRoundedRect(QRectF(7.0, 12.0, 8.6, 3.8), 1.6, 1.6);
    cloud = cloud.simplified();
    p.setBrush(QColor(0xf4, 0xf8, 0xff));
    p.setPen(pen(QColor(0x70, 0x80, 0x98), 0.9));
    p.drawPath(cloud);
}

void drawRadio(QPainter &p)
{
    const QColor edge(0x18, 0x18, 0x20);
    line(p, {13.2, 7.2}, {15.8, 1.2}, 1.0, edge);
    dot(p, {15.8, 1.2}, 0.9, 0.9, kRed);
    QLinearGradient g(0, 6, 0, 16);
    g.setColorAt(0, QColor(0x70, 0x74, 0x80));
    g.setColorAt(1, QColor(0x30, 0x32, 0x3a));
    p.setBrush(g);
    p.setPen(pen(edge, 1.0));
    p.drawRoundedRect(QRectF(1.0, 6.8, 16.0, 9.4), 1.4, 1.4);
    p.setBrush(QColor(0x8c, 0xf0, 0x7c));
    p.setPen(pen(QColor(0x10, 0x40, 0x10), 0.6));
    p.drawRect(QRectF(2.6, 8.6, 7.0, 3.2));
    line(p, {3.6, 10.2}, {8.6, 10.2}, 0.6, QColor(0x10, 0x50, 0x10));
    p.setBrush(QColor(0xd0, 0xd4, 0xdc));
    p.setPen(pen(edge, 0.7));
    p.drawEllipse(QPointF(13.4, 11.4), 2.3, 2.3);
    line(p, {13.4, 11.4}, {14.6, 10.2}, 0.7, edge);
    for (qreal x : {3.4, 5.8, 8.2})
        dot(p, {x, 14.0}, 0.7, 0.7, QColor(0xe8, 0xe8, 0xe8));
}

void drawCake(QPainter &p)
{
    p.setBrush(QColor(0x4a, 0x8c, 0xff));
    p.setPen(pen(QColor(0x20, 0x40, 0xa0), 0.6));
    p.drawRect(QRectF(8.2, 3.8, 1.6, 5.0));
    QPainterPath flame({9, 0.4});
    flame.quadTo({11.0, 2.6}, {9, 3.6});
    flame.quadTo({7.0, 2.6}, {9, 0.4});
    p.setBrush(QColor(0xff, 0xa0, 0x10));
    p.setPen(pen(QColor(0xd0, 0x50, 0x00), 0.5));
    p.drawPath(flame);
    QLinearGradient g(0, 8, 0, 17);
    g.setColorAt(0, QColor(0xff, 0xb8, 0xd8));
    g.setColorAt(1, QColor(0xd8, 0x58, 0x98));
    p.setBrush(g);
    p.setPen(pen(QColor(0x80, 0x20, 0x50), 1.0));
    p.drawRoundedRect(QRectF(2.0, 8.6, 14.0, 7.8), 1.2, 1.2);
    QPainterPath icing({2.0, 9.6});
    for (qreal x = 2.0; x < 15.9; x += 2.8)
        icing.quadTo({x + 1.4, 13.0}, {x + 2.8, 9.6});
    icing.lineTo(16.0, 8.6);
    icing.lineTo(2.0, 8.6);
    icing.closeSubpath();
    p.setBrush(kWhite);
    p.setPen(pen(QColor(0xc0, 0xa0, 0xb0), 0.6));
    p.drawPath(icing);
    dot(p, {5.0, 14.0}, 0.7, 0.7, QColor(0xff, 0xf0, 0x40));
    dot(p, {9.0, 14.6}, 0.7, 0.7, QColor(0x40, 0xc0, 0xff));
    dot(p, {13.0, 14.0}, 0.7, 0.7, QColor(0x60, 0xe0, 0x60));
}

void drawCar(QPainter &p)
{
    QPainterPath body({1.0, 13.2});
    body.lineTo(1.0, 10.0);
    body.quadTo({1.2, 8.6}, {3.6, 8.4});
    body.lineTo(5.6, 5.2);
    body.quadTo({6.2, 4.4}, {7.4, 4.4});
    body.lineTo(11.8, 4.4);
    body.quadTo({12.8, 4.4}, {13.4, 5.2});
    body.lineTo(15.2, 8.4);
    body.quadTo({17.0, 8.8}, {17.0, 10.4});
    body.lineTo(17.0, 13.2);
    body.closeSubpath();
    QLinearGradient g(0, 4, 0, 14);
    g.setColorAt(0, QColor(0xff, 0x60, 0x50));
    g.setColorAt(1, QColor(0xb0, 0x10, 0x10));
    p.setBrush(g);
    p.setPen(pen(QColor(0x60, 0x08, 0x08), 1.0));
    p.drawPath(body);
    p.setBrush(QColor(0xc8, 0xe8, 0xff));
    p.setPen(pen(QColor(0x40, 0x50, 0x70), 0.6));
    QPainterPath windows({4.8, 8.4});
    windows.lineTo(6.4, 5.6);
    windows.lineTo(8.6, 5.6);
    windows.lineTo(8.6, 8.4);
    windows.closeSubpath();
    windows.moveTo(9.6, 8.4);
    windows.lineTo(9.6, 5.6);
    windows.lineTo(12.2, 5.6);
    windows.lineTo(13.8, 8.4);
    windows.closeSubpath();
    p.drawPath(windows);
    for (qreal x : {5.0, 13.0}) {
        p.setBrush(QColor(0x20, 0x20, 0x24));
        p.setPen(pen(QColor(0x08, 0x08, 0x08), 0.7));
        p.drawEllipse(QPointF(x, 13.4), 2.4, 2.4);
        dot(p, {x, 13.4}, 0.9, 0.9, QColor(0xc0, 0xc0, 0xc8));
    }
    dot(p, {16.2, 10.4}, 0.6, 0.6, QColor(0xff, 0xf0, 0x80));
}

void drawGlove(QPainter &p)
{
    const QColor edge(0x70, 0x08, 0x08);
    QRadialGradient g(QPointF(7, 5), 10);
    g.setColorAt(0, QColor(0xff, 0x70, 0x60));
    g.setColorAt(1, QColor(0xc0, 0x10, 0x10));
    p.setBrush(g);
    p.setPen(pen(edge, 1.0));
    p.drawEllipse(QPointF(3.8, 9.2), 2.6, 3.0);
    p.drawRoundedRect(QRectF(4.0, 1.4, 12.0, 11.6), 5.0, 5.0);
    curve(p, {5.0, 8.6}, {7.0, 10.6}, {9.6, 9.8}, 0.9, edge);
    p.setBrush(QColor(0xf4, 0xf4, 0xf4));
    p.setPen(pen(QColor(0x50, 0x50, 0x50), 0.9));
    p.drawRoundedRect(QRectF(5.2, 12.4, 9.6, 4.4), 1.0, 1.0);
    line(p, {6.4, 14.6}, {13.6, 14.6}, 0.6, QColor(0x90, 0x90, 0x90));
}

using Painter = void (*)(QPainter &);

// In element order; element 29 is our own ":73" badge.
constexpr std::array<Painter, kEmoticonCount> kPainters = {
    drawSmile,    drawWink,     drawSad,     drawSurprised, drawConfused, drawCool,   drawDead,
    drawEvil,     drawGrin,     drawSmirk,   drawTeeth,     drawKiss,     drawWorried, drawRollEyes,
    drawHush,     drawCrying,   drawNerd,    drawTongue,    drawMeh,      drawSick,   drawClown,
    drawEchoLink, drawDrink,    drawLoo,     drawBeer,      drawSkull,    drawXmasTree, drawWorld,
    drawMonk,     drawBadge73,  drawOk,      drawAngry,     drawSpeaker,  drawWeather, drawRadio,
    drawPirate,   drawCake,     drawCar,     drawDevil,     drawAlien,    drawGlove,  drawAngel,
};

QImage paint(Painter painter, int pixels = kEmoticonSize)
{
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(qreal(pixels) / kEmoticonSize, qreal(pixels) / kEmoticonSize);
    painter(p);
    p.end();
    return image;
}

} // namespace

const QImage &emoticonPicture(int index)
{
    static const std::array<QImage, kEmoticonCount> pictures = [] {
        std::array<QImage, kEmoticonCount> all;
        for (int i = 0; i < kEmoticonCount; ++i)
            all[i] = paint(kPainters[i]);
        return all;
    }();
    return pictures.at(static_cast<std::size_t>(index));
}

const QImage &emoticonPicture(int index, int pixels)
{
    if (pixels <= kEmoticonSize)
        return emoticonPicture(index);
    // Few sizes ever: one per screen scale and place the pictures show in.
    static std::map<std::pair<int, int>, QImage> sharp;
    QImage &picture = sharp[{index, pixels}];
    if (picture.isNull())
        picture = paint(kPainters.at(static_cast<std::size_t>(index)), pixels);
    return picture;
}

int emoticonPixels(const QPainter &painter, const QRectF &target)
{
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QRectF onDevice = painter.transform().mapRect(target);
    return int(std::ceil(std::max(onDevice.width(), onDevice.height()) * ratio));
}

} // namespace tavrin::messaging
