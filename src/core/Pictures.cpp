#include "core/Pictures.h"

#include "ui/FocusFrame.h"
#include "ui/ReadableColors.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace tavrin {

namespace {

constexpr int kIconSize = 32;

} // namespace

ClickableLabel::ClickableLabel(QWidget *parent) : QLabel(parent)
{
    setFocusPolicy(Qt::TabFocus);
}

void ClickableLabel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent *event)
{
    // A click is a press and a release over the picture, like a button.
    const bool wasPressed = pressed_;
    pressed_ = false;
    if (event->button() == Qt::LeftButton && wasPressed && rect().contains(event->position().toPoint())) {
        event->accept();
        emit clicked();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void ClickableLabel::keyPressEvent(QKeyEvent *event)
{
    const bool press = event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier;
    if (press && !event->isAutoRepeat()
        && (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        event->accept();
        emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

void ClickableLabel::setIcon(Icon icon)
{
    icon_ = icon;
    drawPicture();
}

void ClickableLabel::drawPicture()
{
    if (icon_)
        setPixmap(drawIcon(*icon_, kIconSize, devicePixelRatioF(), palette().color(QPalette::Window)));
}

void ClickableLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        drawPicture();
}

void ClickableLabel::paintEvent(QPaintEvent *event)
{
    // Moved to a screen of another scale: sharp there too.
    if (icon_ && !qFuzzyCompare(pixmap().devicePixelRatio(), devicePixelRatioF()))
        drawPicture();
    QLabel::paintEvent(event);
    paintFocusFrame(this);
}

namespace {

// The dark parts of the pictures; on a dark desktop they are drawn light, or they vanish.
const QColor kDarkInk(40, 48, 64);
const QColor kAccent(30, 110, 200);

void drawSpeaker(QPainter &p, qreal s, const QColor &ink)
{
    QPainterPath body;
    body.moveTo(0.12 * s, 0.38 * s);
    body.lineTo(0.30 * s, 0.38 * s);
    body.lineTo(0.52 * s, 0.18 * s);
    body.lineTo(0.52 * s, 0.82 * s);
    body.lineTo(0.30 * s, 0.62 * s);
    body.lineTo(0.12 * s, 0.62 * s);
    body.closeSubpath();
    p.fillPath(body, ink);
    p.setPen(QPen(kAccent, 0.06 * s, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(0.40 * s, 0.32 * s, 0.28 * s, 0.36 * s), -50 * 16, 100 * 16);
    p.drawArc(QRectF(0.40 * s, 0.18 * s, 0.46 * s, 0.64 * s), -50 * 16, 100 * 16);
}

void drawMicrophone(QPainter &p, qreal s, const QColor &ink)
{
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawRoundedRect(QRectF(0.38 * s, 0.10 * s, 0.24 * s, 0.46 * s), 0.12 * s, 0.12 * s);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kAccent, 0.06 * s, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(0.28 * s, 0.26 * s, 0.44 * s, 0.44 * s), 180 * 16, 180 * 16);
    p.drawLine(QPointF(0.5 * s, 0.70 * s), QPointF(0.5 * s, 0.86 * s));
    p.drawLine(QPointF(0.36 * s, 0.88 * s), QPointF(0.64 * s, 0.88 * s));
}

void drawKeypad(QPainter &p, qreal s, const QColor &ink)
{
    p.setPen(QPen(ink, 0.04 * s));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(0.16 * s, 0.08 * s, 0.68 * s, 0.84 * s), 0.08 * s, 0.08 * s);
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            p.drawRect(QRectF((0.24 + 0.19 * c) * s, (0.16 + 0.19 * r) * s, 0.13 * s, 0.12 * s));
}

void drawSteps(QPainter &p, qreal s, const QColor &ink)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    QPolygonF up({QPointF(0.5 * s, 0.08 * s), QPointF(0.80 * s, 0.40 * s), QPointF(0.20 * s, 0.40 * s)});
    QPolygonF down({QPointF(0.5 * s, 0.92 * s), QPointF(0.80 * s, 0.60 * s), QPointF(0.20 * s, 0.60 * s)});
    p.drawPolygon(up);
    p.setBrush(ink);
    p.drawPolygon(down);
}

void drawChooser(QPainter &p, qreal s, const QColor &ink)
{
    for (int i = 0; i < 3; ++i) {
        const qreal y = (0.16 + 0.26 * i) * s;
        p.setPen(Qt::NoPen);
        p.setBrush(i == 1 ? kAccent : ink);
        p.drawEllipse(QRectF(0.10 * s, y, 0.16 * s, 0.16 * s));
        p.drawRoundedRect(QRectF(0.34 * s, y + 0.03 * s, 0.56 * s, 0.10 * s), 0.04 * s, 0.04 * s);
    }
}

void drawRemotePad(QPainter &p, qreal s, const QColor &ink)
{
    p.setPen(QPen(ink, 0.04 * s));
    p.setBrush(QColor(230, 236, 244));
    p.drawRoundedRect(QRectF(0.26 * s, 0.06 * s, 0.48 * s, 0.88 * s), 0.10 * s, 0.10 * s);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 160, 90));
    p.drawRect(QRectF(0.33 * s, 0.14 * s, 0.34 * s, 0.16 * s));
    p.setBrush(kDarkInk); // on the pad's light face
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 2; ++c)
            p.drawEllipse(QRectF((0.35 + 0.18 * c) * s, (0.40 + 0.16 * r) * s, 0.11 * s, 0.11 * s));
}

} // namespace

QPixmap drawIcon(Icon icon, int size, qreal ratio, const QColor &window)
{
    const int pixels = qCeil(size * ratio);
    QPixmap pixmap(pixels, pixels);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    const QColor ink = ui::readableTextOn(window, kDarkInk);
    switch (icon) {
    case Icon::Speaker: drawSpeaker(p, s, ink); break;
    case Icon::Microphone: drawMicrophone(p, s, ink); break;
    case Icon::Keypad: drawKeypad(p, s, ink); break;
    case Icon::Steps: drawSteps(p, s, ink); break;
    case Icon::Chooser: drawChooser(p, s, ink); break;
    case Icon::RemotePad: drawRemotePad(p, s, ink); break;
    }
    return pixmap;
}

ClickableLabel *makePicture(const QString &name, Icon icon, const QString &toolTip, QWidget *parent)
{
    auto *label = new ClickableLabel(parent);
    label->setObjectName(name);
    label->setIcon(icon);
    label->setToolTip(toolTip);
    pictureButtonForScreenReaders(label, toolTip);
    label->setCursor(Qt::PointingHandCursor);
    label->setFixedSize(36, 36);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace tavrin
