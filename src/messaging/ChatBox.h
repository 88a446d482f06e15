#pragma once
// Writing into the program's chat logs without ever reading them back: every write goes
// through a text cursor at the document's end, so its cost does not depend on how long the
// log already is. A write leaves no text layout behind for the lines it touched: only the
// lines on screen are ever laid out (in the plain-text logs), so a long log costs its text
// and little more.
//
// Thread: user-interface thread. ChatBox does not own its box; it owns its document until a
// box shows it, and the box owns it from then on.

#include <QColor>
#include <QPlainTextEdit>
#include <QString>

#include <bitset>
#include <memory>

namespace tavrin::messaging {

// The chat window's chat box: bold coloured sender tags, black text, emoticon pictures as
// document image resources (each element's picture added to the document once). A line
// shows cut and in pieces as forLog() says. The box is a plain-text edit, which lays out only
// the lines it shows (a rich-text edit lays out and keeps every line of the log); its
// document draws the pictures itself.
// The document is there before any box: lines written before the box is built are kept in it
// exactly as a hidden box would keep them, and the box shows it once attached.
class ChatBox {
public:
    ChatBox();
    ~ChatBox();
    ChatBox(const ChatBox &) = delete;
    ChatBox &operator=(const ChatBox &) = delete;

    // `box` shows the document from now on and takes it over. Once only.
    void attach(QPlainTextEdit *box);
    QTextDocument *document() const { return doc_; }

    // tag + ": " in bold `tagColour`, then text + line end with its codes as pictures.
    void appendLine(const QString &tag, const QColor &tagColour, const QString &text);
    // As appendToLog() into the box.
    void appendPlain(const QString &text);
    void clear();

private:
    void ensurePicture(int element);
    bool onScreen() const { return box_ && box_->isVisible(); }

    std::unique_ptr<QTextDocument> unattached_;
    QTextDocument *doc_;
    QPlainTextEdit *box_ = nullptr;
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
