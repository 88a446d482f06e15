#pragma once
// Gradient fill for the level meters: a rectangle shaded left to right from one colour to
// another. Colours as the settings files hold them: 24-bit RGB with red in the low byte.
//
// Thread: user-interface thread (it paints).

#include <QColor>
#include <QRect>

class QPainter;

namespace tavrin::VU {

// Fills the rectangle (left, top)-(right, bottom), right and bottom exclusive, from `first` at
// the left edge to `second` at the right edge. Style 0 is horizontal; other styles run top to
// bottom. An empty rectangle draws nothing.
void GradientBox(QPainter &painter, int left, int top, int right, int bottom, const QColor &first,
                 const QColor &second, int style = 0);

QColor colorFromValue(quint32 value); // red in the low byte
quint32 valueFromColor(const QColor &color);

} // namespace tavrin::VU
