#pragma once
// The About window's pictures, drawn rather than shipped: the program's mark, a globe for
// the makers' web pages and an envelope for mail.

#include <QPixmap>

namespace tavrin::maintenance {

QPixmap logoPicture(int size);
QPixmap webPicture(int size);
QPixmap mailPicture(int size);

} // namespace tavrin::maintenance
