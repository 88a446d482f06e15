#pragma once
// The focus frame of a control drawn as a picture: a label has none of its own, so a picture
// pressed with Space shows where the keys are by this dotted frame, drawn after the picture.
//
// Thread: user-interface thread.

#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QWidget>

namespace tavrin {

inline void paintFocusFrame(QWidget *control)
{
    if (!control->hasFocus())
        return;
    QStylePainter painter(control);
    QStyleOptionFocusRect option;
    option.initFrom(control);
    option.rect = control->rect().adjusted(1, 1, -1, -1);
    option.backgroundColor = control->palette().color(control->backgroundRole());
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}

} // namespace tavrin
