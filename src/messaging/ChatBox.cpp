#include "messaging/ChatBox.h"

#include "messaging/ChatFormat.h"
#include "messaging/Emoticons.h"
#include "ui/ReadableColors.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QPlainTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextObjectInterface>
#include <QTimer>
#include <QUrl>

namespace tavrin::messaging {

namespace {

const QColor kLineColour(Qt::black);

// On an emoticon in the text: its element, so that it is drawn sharp at any screen scale.
constexpr int kElementProperty = QTextFormat::UserProperty + 1;

} // namespace

// Draws a document's image resources in the text, at the size their format gives.
class ChatPictures final : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    QSizeF intrinsicSize(QTextDocument *, int, const QTextFormat &format) override
    {
        const QTextImageFormat image = format.toImageFormat();
        return {image.width(), image.height()};
    }
    void drawObject(QPainter *painter, const QRectF &rect, QTextDocument *doc, int, const QTextFormat &format) override
    {
        if (format.hasProperty(kElementProperty)) {
            const int element = format.intProperty(kElementProperty);
            painter->drawImage(rect, emoticonPicture(element, emoticonPixels(*painter, rect)));
            return;
        }
        const QVariant picture = doc->resource(QTextDocument::ImageResource, QUrl(format.toImageFormat().name()));
        if (picture.canConvert<QImage>())
            painter->drawImage(rect, picture.value<QImage>());
    }
};

namespace {

// The plain-text layout knows no pictures: this draws a document's image resources in the
// text, at the size the format gives, centred on the text's middle like the rich-text box.
class PictureLayout final : public QPlainTextDocumentLayout {
public:
    explicit PictureLayout(QTextDocument *doc) : QPlainTextDocumentLayout(doc)
    {
        registerHandler(QTextFormat::ImageObject, &pictures_);
    }

protected:
    void resizeInlineObject(QTextInlineObject item, int position, const QTextFormat &format) override
    {
        QPlainTextDocumentLayout::resizeInlineObject(item, position, format);
        const QTextCharFormat f = format.toCharFormat();
        if (f.verticalAlignment() == QTextCharFormat::AlignMiddle) {
            const qreal halfX = QFontMetricsF(f.font()).xHeight() / 2;
            item.setAscent(item.height() / 2 + halfX);
            item.setDescent(item.height() / 2 - halfX);
        }
    }

private:
    ChatPictures pictures_;
};

// Appends through `write(cursor at the end)`. Moving or writing with a cursor lays out the
// line under it once the edit is over (for its x position): the edit is closed by a second
// cursor that stays on the first line, so no line the write touched gets a layout.
template <class Write>
void appendAtEnd(QTextDocument *doc, Write &&write)
{
    QTextCursor guard(doc);
    guard.beginEditBlock();
    {
        QTextCursor cursor(doc);
        cursor.movePosition(QTextCursor::End);
        write(cursor);
    }
    guard.endEditBlock();
}

// In a log on screen, short lines share a paragraph, one under the other, until it holds
// kSharedParagraph characters: a paragraph on screen keeps its layout and bookkeeping, once
// however many lines it holds, and laying out one of this size again as it grows stays cheap.
// About two ordinary lines: each line written lays its paragraph out again, so a longer
// paragraph saves a little memory for much more work.
// A hidden log lays out nothing, and a paragraph there is laid out anew at each line: there
// every line is a paragraph of its own.
constexpr int kSharedParagraph = 128;

// The end of a line that leaves its paragraph `length` characters long in a log that is on
// screen or not.
QChar lineEnd(bool onScreen, int length)
{
    return onScreen && length < kSharedParagraph ? QChar(QChar::LineSeparator) : QChar(u'\n');
}

void appendPlainTo(QTextDocument *doc, bool onScreen, const QString &text)
{
    // A log is never edited back: an undo history would keep a copy of every line.
    if (doc->isUndoRedoEnabled())
        doc->setUndoRedoEnabled(false);
    QString shown = displayText(forLog(text));
    if (shown.endsWith(QLatin1Char('\n')))
        shown.back() = lineEnd(onScreen && !needsOwnParagraph(shown), doc->lastBlock().length() + int(shown.size()));
    appendAtEnd(doc, [&](QTextCursor &cursor) { cursor.insertText(shown, QTextCharFormat()); });
}

} // namespace

ChatBox::ChatBox() : unattached_(std::make_unique<QTextDocument>()), doc_(unattached_.get())
{
    doc_->setUndoRedoEnabled(false);
    doc_->setDocumentLayout(new PictureLayout(doc_));
}

ChatBox::~ChatBox() = default;

void ChatBox::attach(QPlainTextEdit *box)
{
    if (box_ || !box)
        return;
    box_ = box;
    box_->setDocument(doc_);
    // The lines are black with red and blue tags, as on a light desktop; on a dark one the box
    // keeps a white field under them, or the tags and text could not be read. The field
    // follows the desktop when it turns dark or light, and the lines already written with it.
    ui::paintFollowingPalette(box, "chatField", [box] {
        box->setPalette(QPalette()); // the desktop's field
        if (!ui::needsLightField(kLineColour, box->palette().color(QPalette::Base)))
            return;
        QPalette p = box->palette();
        p.setColor(QPalette::Base, Qt::white);
        p.setColor(QPalette::Text, kLineColour);
        box->setPalette(p);
    });
    // The box's child from here on, so it goes with the box (after the box's own parts that use it).
    unattached_.release()->setParent(box_);
}

void ChatBox::ensurePicture(int element)
{
    if (pictures_.test(size_t(element)))
        return;
    doc_->addResource(QTextDocument::ImageResource, QUrl(emoticonResourceName(element)),
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

    appendAtEnd(doc_, [&](QTextCursor &cursor) {
        QTextCharFormat tagFormat;
        tagFormat.setFontWeight(QFont::Bold);
        tagFormat.setForeground(tagColour);
        cursor.insertText(inLogPieces(displayText(shownTag) + QLatin1String(chattexts::kTagSeparator), run), tagFormat);

        // No weight of its own: the box's font decides (the large size is bold throughout).
        QTextCharFormat textFormat;
        textFormat.setForeground(kLineColour);
        for (const LineSegment &seg : emoticonSegments(shownText)) {
            if (seg.picture < 0) {
                cursor.insertText(inLogPieces(displayText(seg.text), run), textFormat);
                continue;
            }
            ensurePicture(seg.picture);
            QTextImageFormat image;
            image.setName(emoticonResourceName(seg.picture));
            image.setProperty(kElementProperty, seg.picture);
            image.setWidth(kEmoticonSize);
            image.setHeight(kEmoticonSize);
            image.setVerticalAlignment(QTextCharFormat::AlignMiddle);
            cursor.insertImage(image);
            ++run;
        }
        if (leftOut > 0)
            cursor.insertText(cutMark(leftOut), textFormat);
        // A station's direction override left open, or its right-to-left line opening a
        // paragraph, must not turn the lines after it.
        const bool ownParagraph = needsOwnParagraph(shownTag + QLatin1String(chattexts::kTagSeparator) + shownText);
        cursor.insertText(QString(lineEnd(onScreen() && !ownParagraph, cursor.block().length())), textFormat);
    });
}

void ChatBox::appendPlain(const QString &text) { appendPlainTo(doc_, onScreen(), text); }

void ChatBox::clear()
{
    // Clearing the document drops its resources as well.
    if (box_)
        box_->clear();
    else
        doc_->clear();
    pictures_.reset();
}

void appendToLog(QWidget *log, const QString &text)
{
    QTextDocument *doc = nullptr;
    if (auto *rich = qobject_cast<QTextEdit *>(log))
        doc = rich->document();
    else if (auto *plain = qobject_cast<QPlainTextEdit *>(log))
        doc = plain->document();
    if (doc)
        appendPlainTo(doc, log->isVisible(), text);
}

namespace {

constexpr char kEndOnShow[] = "EndOnShow";
constexpr char kEndScroller[] = "EndScroller";

// Scrolls its log to the bottom once the lines of the moment are written: scrolling at every
// line would move the picture on screen at every line.
class EndScroller final : public QObject {
public:
    explicit EndScroller(QAbstractScrollArea *log) : QObject(log)
    {
        setObjectName(QLatin1String(kEndScroller));
        timer_.setSingleShot(true);
        timer_.setInterval(0);
        connect(&timer_, &QTimer::timeout, this, [log] {
            QScrollBar *bar = log->verticalScrollBar();
            bar->setValue(bar->maximum());
        });
    }
    void request()
    {
        if (!timer_.isActive())
            timer_.start();
    }

private:
    QTimer timer_;
};

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
    QObject *found = static_cast<QObject *>(edit)->findChild<QObject *>(QLatin1String(kEndScroller), Qt::FindDirectChildrenOnly);
    auto *scroller = found ? static_cast<EndScroller *>(found) : new EndScroller(edit);
    scroller->request();
}

// Scrolls its log to the end when the log shows. A hidden log is not scrolled line by line:
// placing its view lays out the line under it, and the layout stays with the line.
class EndOnShow final : public QObject {
public:
    explicit EndOnShow(QWidget *log) : QObject(log) { setObjectName(QLatin1String(kEndOnShow)); }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched == parent())
            caretToEnd(static_cast<QWidget *>(watched));
        return false;
    }
};

} // namespace

void caretToEnd(QWidget *log)
{
    if (!log)
        return;
    if (!log->isVisible()) {
        if (!log->findChild<QObject *>(QLatin1String(kEndOnShow), Qt::FindDirectChildrenOnly))
            log->installEventFilter(new EndOnShow(log));
        return;
    }
    if (auto *rich = qobject_cast<QTextEdit *>(log))
        caretToEndOf(rich);
    else if (auto *plain = qobject_cast<QPlainTextEdit *>(log))
        caretToEndOf(plain);
}

} // namespace tavrin::messaging

#include "ChatBox.moc"
