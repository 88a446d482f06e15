#pragma once
// The colours the main window and its helpers paint with, set through the palette so that
// a control's colour can be read back the same way (text: WindowText/Text/ButtonText;
// background: Window/Base/Button, by kind of control).

#include <QColor>

class QWidget;

namespace tavrin {

inline const QColor kBlue{0, 0, 255};
inline const QColor kLightGrey{192, 192, 192};
inline const QColor kRed{255, 0, 0};

// The system's button-face colour.
QColor buttonFace();

// The colours are kept and follow a change of the desktop's palette (see ui/OwnColours.h);
// ui::kDesktopButtonFace as a background is the desktop's button face, whatever it turns to.
void setForeColor(QWidget *widget, const QColor &color);
void setBackColor(QWidget *widget, const QColor &color);
QColor foreColor(const QWidget *widget);
QColor backColor(const QWidget *widget);

} // namespace tavrin
