#pragma once
// Writing into the program's chat logs without ever reading them back: every write goes
// through a text cursor at the document's end, so its cost does not depend on how long the
// log already is.
//
// Thread: user-interface thread. ChatBox does not own its QTextEdit.

#include <QColor>
#include <QPointer>
#include <QString>
#include <QTextEdit>

#include <bitset>

namespace tavrin::messaging {

// The chat window's chat box: bold coloured sender tags, black text, emoticon pictures as
// document image resources (each element's picture added to the document once). A line
// shows cut and in pieces as forLog() says.
class ChatBox {
public:
    explicit ChatBox(QTextEdit *box);

    // tag + ": " in bold `tagColour`, then text + line end with its codes as pictures.
    void appendLine(const QString &tag, const QColor &tagColour, const QString &text);
    void clear();

private:
    void ensurePicture(int element);

    QTextEdit *box_;
    std::bitset<64> pictures_;
};

// Appends `text` (one entry, already holding its line end) as plain text to a log that is a
// QTextEdit or a QPlainTextEdit, cut and in pieces as forLog() shows it; anything else is
// left alone.
void appendToLog(QWidget *log, const QString &text);
// Puts a log's caret at its end (scrolls it there when visible).
void caretToEnd(QWidget *log);

} // namespace tavrin::messaging
