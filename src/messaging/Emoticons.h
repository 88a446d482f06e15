#pragma once
// The chat's emoticons: 42 elements, each with one or more codes (replaced in element order,
// then code order) and a small picture of our own; and the 35 picture buttons of the chat
// window, each inserting one code into the send box.
//
// Pure data and painting: no window. Pictures are drawn once per process and cached.
// Thread: any thread for the tables; pictures on the user-interface thread.

#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <array>

namespace tavrin::messaging {

inline constexpr int kEmoticonCount = 42;
// Pictures are square; between 16 and 20 px as the chat box shows them.
inline constexpr int kEmoticonSize = 18;

// The codes of element `index` in tag order (the tag split at single spaces).
const QStringList &emoticonCodes(int index);

// One picture button: its objectName ("Image1"), the text it appends to the send box
// (surrounding spaces included) and the element whose picture it shows.
struct EmoticonButton {
    const char *name;
    const char *inserted;
    int element;
};
const std::array<EmoticonButton, 35> &emoticonButtons();

// The picture of element `index`, kEmoticonSize px square, transparent background.
const QImage &emoticonPicture(int index);
// The same drawn for `pixels` device pixels square, so that it stays sharp on a scaled
// screen; the picture above for kEmoticonSize or fewer. Each size is drawn once.
const QImage &emoticonPicture(int index, int pixels);
// How many device pixels `target` covers where `painter` paints.
int emoticonPixels(const QPainter &painter, const QRectF &target);

// The name under which a document holds element `index`'s picture as an image resource.
QString emoticonResourceName(int index);

} // namespace tavrin::messaging
