#pragma once
// What a control drawn as a picture needs to be used without a mouse. Its focus frame: a label has none of its own, so a picture
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

// The name a screen reader says for it. A Qt built without accessibility (our Windows one)
// has no such name to give.
inline void nameForScreenReaders(QWidget *control, const QString &name)
{
#if QT_CONFIG(accessibility)
    control->setAccessibleName(name);
#else
    Q_UNUSED(control);
    Q_UNUSED(name);
#endif
}

} // namespace tavrin
