#pragma once
// A read-only text box the keyboard can read as well as the mouse: it shows a caret, the arrow
// and page keys move it, Shift selects and Ctrl+C copies. Tab still moves on to the next
// control (a read-only box takes no tabs as text).
//
// Thread: user-interface thread.

#include <QPlainTextEdit>
#include <QTextEdit>

namespace tavrin {

template <class Box> // QTextEdit or QPlainTextEdit
void makeReadableLog(Box *box)
{
    box->setReadOnly(true); // sets the interaction flags: they are set after it
    box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box->setFocusPolicy(Qt::StrongFocus);
}

} // namespace tavrin
