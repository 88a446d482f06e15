#include "messaging/ChatBox.h"

#include "messaging/ChatFormat.h"
#include "messaging/Emoticons.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

namespace tavrin::messaging {

ChatBox::ChatBox(QTextEdit *box) : box_(box) { box_->document()->setUndoRedoEnabled(false); }

void ChatBox::ensurePicture(int element)
{
    if (pictures_.test(size_t(element)))
        return;
    box_->document()->addResource(QTextDocument::ImageResource, QUrl(emoticonResourceName(element)),
                                  emoticonPicture(element));
    pictures_.set(size_t(element));
}

void ChatBox::appendLine(const QString &tag, const QColor &tagColour, const QString &text)
{
    // A hostile line shows cut, the tag counting as its first part.
    const QString shownTag = leftWhole(tag, kShownLineLimit);
    const QString shownText = leftWhole(text, kShownLineLimit - shownTag.size());
    const qsizetype leftOut = tag.size() + text.size() - shownTag.size() - shownText.size();
    qsizetype run = 0;

    QTextCursor cursor(box_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();

    QTextCharFormat tagFormat;
    tagFormat.setFontWeight(QFont::Bold);
    tagFormat.setForeground(tagColour);
    cursor.insertText(inLogPieces(displayText(shownTag) + QLatin1String(chattexts::kTagSeparator), run), tagFormat);

    // No weight of its own: the box's font decides (the large size is bold throughout).
    QTextCharFormat textFormat;
    textFormat.setForeground(QColor(Qt::black));
    for (const LineSegment &seg : emoticonSegments(shownText)) {
        if (seg.picture < 0) {
            cursor.insertText(inLogPieces(displayText(seg.text), run), textFormat);
            continue;
        }
        ensurePicture(seg.picture);
        QTextImageFormat image;
        image.setName(emoticonResourceName(seg.picture));
        image.setWidth(kEmoticonSize);
        image.setHeight(kEmoticonSize);
        image.setVerticalAlignment(QTextCharFormat::AlignMiddle);
        cursor.insertImage(image);
        ++run;
    }
    if (leftOut > 0)
        cursor.insertText(cutMark(leftOut), textFormat);
    cursor.insertText(QStringLiteral("\n"), textFormat);
    cursor.endEditBlock();
}

void ChatBox::clear()
{
    // Clearing the document drops its resources as well.
    box_->clear();
    pictures_.reset();
}

void appendToLog(QWidget *log, const QString &text)
{
    QTextDocument *doc = nullptr;
    if (auto *rich = qobject_cast<QTextEdit *>(log))
        doc = rich->document();
    else if (auto *plain = qobject_cast<QPlainTextEdit *>(log))
        doc = plain->document();
    if (!doc)
        return;
    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(displayText(forLog(text)), QTextCharFormat());
}

namespace {

// Moves the caret to the end and shows it. On a log whose caret already sits at the end (the
// usual case: text appended there carries the caret along) only the view is scrolled to the
// bottom, which spares the cursor-rectangle work of setTextCursor() on every line.
template <class Edit>
void caretToEndOf(Edit *edit)
{
    QTextCursor c = edit->textCursor();
    const int end = edit->document()->characterCount() - 1;
    if (c.hasSelection() || c.position() != end) {
        c.movePosition(QTextCursor::End);
        edit->setTextCursor(c);
        return;
    }
    QScrollBar *bar = edit->verticalScrollBar();
    bar->setValue(bar->maximum());
}

} // namespace

void caretToEnd(QWidget *log)
{
    if (auto *rich = qobject_cast<QTextEdit *>(log))
        caretToEndOf(rich);
    else if (auto *plain = qobject_cast<QPlainTextEdit *>(log))
        caretToEndOf(plain);
}

} // namespace tavrin::messaging
