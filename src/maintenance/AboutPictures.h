#pragma once
// The About window's pictures, drawn rather than shipped: the program's mark, a globe for
// the makers' web pages and an envelope for mail.

#include <QPixmap>

namespace tavrin::maintenance {

// Each `size` pixels square on the screen, drawn at that screen's device pixel ratio `ratio`
// so that it stays sharp on a scaled screen.
QPixmap logoPicture(int size, qreal ratio = 1);
QPixmap webPicture(int size, qreal ratio = 1);
QPixmap mailPicture(int size, qreal ratio = 1);

} // namespace tavrin::maintenance
