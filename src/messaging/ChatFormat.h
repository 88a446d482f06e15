#pragma once
// The chat window's texts and line handling without any widget: the filters, the sender
// split, the incoming time stamp, display clean-up and the emoticon segmenting of a newly
// added line. What goes on the wire is in protocol/ChatTexts.h and protocol/PrivateMessages.h.
//
// Pure functions and small value classes; any thread.

#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>

#include <array>

namespace tavrin::messaging {

namespace chattexts {
inline constexpr char kCrLf[] = "\r\n";
inline constexpr char kIncomingStampEnd[] = ") ";
inline constexpr char kTagSeparator[] = ": ";
// Shown after a log line cut at kShownLineLimit characters: the mark and how many were left out.
inline constexpr char kCutMark[] = " \u2026 (%1 more characters not shown)";
} // namespace chattexts

// A log lays out every paragraph it shows, at a cost that grows faster than the length: one
// incoming line shows at most kShownLineLimit characters, in paragraphs of at most
// kLogPieceLength characters one under the other, so no line, however long, holds up the
// window. Lines normally stay far below both.
inline constexpr qsizetype kLogPieceLength = 2048;
inline constexpr qsizetype kShownLineLimit = 8192;

// "(" + HH:MM + ") " + message, as incoming lines are stamped.
QString stampIncoming(const QTime &time, const QString &message);

// The ten words that always drop a line, in any letter case.
const std::array<const char *, 10> &builtInWords();

// The drop rule for incoming lines: a filter text or a built-in word found after the first
// character of the whole line (sender tag included) drops it. Filter texts compare exactly
// when case-sensitive, else upper-cased on both sides; built-in words always upper-cased.
// An empty filter text never matches.
class ChatFilter {
public:
    ChatFilter() = default;
    ChatFilter(QStringList filterTexts, bool caseSensitive);
    bool drops(const QString &line) const;

private:
    QStringList filters_;
    bool caseSensitive_ = true;
};

// An incoming line split at its first ">": the tag keeps the ">", empty when there is none.
struct SenderSplit {
    QString tag;
    QString message;
};
SenderSplit splitSender(const QString &line);

// Every CR becomes CR LF (as the message is stored and copied to the other logs).
QString crToCrLf(const QString &message);

// The text on one line, for a one-line box: every line break (CR LF, CR, LF, and the
// Unicode line and paragraph separators) becomes one blank.
QString oneLine(const QString &text);

// Text made safe for a rich text box: NUL and the other C0 controls (except TAB, CR, LF),
// DEL, lone surrogates and the characters the document uses for its own structure become
// U+FFFD; a CR LF pair becomes one line break. Returns the input unchanged when clean.
QString displayText(const QString &text);

// True when a log line must end its paragraph rather than share it with the lines after it:
// it holds a direction embedding, override or isolate (U+202A to U+202E, U+2066 to U+2069),
// which when left open reaches to the end of the paragraph, or it reads right to left from
// its first letter, which would set the direction of a paragraph it opens.
bool needsOwnParagraph(const QString &text);

// `text` with a line break after every kLogPieceLength characters without one.
QString inLogPieces(const QString &text);
// The same for a paragraph written in parts: `run` is the length of the paragraph so far and
// is carried on.
QString inLogPieces(const QString &text, qsizetype &run);
// The first `limit` characters of `text` (never half a surrogate pair).
QString leftWhole(const QString &text, qsizetype limit);
// The mark that ends a line cut for a log, `leftOut` characters not shown.
QString cutMark(qsizetype leftOut);
// One log entry as a log shows it: cut to kShownLineLimit characters with the cut mark (a
// trailing line ends are kept), then in pieces.
QString forLog(const QString &entry);

// One piece of a new line after emoticon replacement: a text run, or a picture.
struct LineSegment {
    QString text;
    int picture = -1; // element index, or -1 for a text run
    bool operator==(const LineSegment &) const = default;
};

// Replaces the emoticon codes of `text` by pictures: elements in index order, each element's
// codes in tag order, every occurrence left to right. A picture never matches a code, so a
// replaced picture also separates the text around it, as in the chat box.
QList<LineSegment> emoticonSegments(const QString &text);

} // namespace tavrin::messaging
