#pragma once
// Writing into the program's chat logs without ever reading them back: every write goes
// through a text cursor at the document's end, so its cost does not depend on how long the
// log already is. A write leaves no text layout behind for the lines it touched: only the
// lines on screen are ever laid out (in the plain-text logs), so a long log costs its text
// and little more.
//
// Thread: user-interface thread. ChatBox does not own its box.

#include <QColor>
#include <QPlainTextEdit>
#include <QString>

#include <bitset>

namespace tavrin::messaging {

// The chat window's chat box: bold coloured sender tags, black text, emoticon pictures as
// document image resources (each element's picture added to the document once). A line
// shows cut and in pieces as forLog() says. The box is a plain-text edit, which lays out only
// the lines it shows (a rich-text edit lays out and keeps every line of the log); its
// document draws the pictures itself.
class ChatBox {
public:
    explicit ChatBox(QPlainTextEdit *box);

    // tag + ": " in bold `tagColour`, then text + line end with its codes as pictures.
    void appendLine(const QString &tag, const QColor &tagColour, const QString &text);
    void clear();

private:
    void ensurePicture(int element);

    QPlainTextEdit *box_;
    std::bitset<64> pictures_;
};

// Appends `text` (one entry, already holding its line end) as plain text to a log that is a
// QTextEdit or a QPlainTextEdit, cut and in pieces as forLog() shows it; anything else is
// left alone.
void appendToLog(QWidget *log, const QString &text);
// Puts a log's caret at its end and scrolls it there; a hidden log is scrolled when it
// next shows.
void caretToEnd(QWidget *log);

} // namespace tavrin::messaging
