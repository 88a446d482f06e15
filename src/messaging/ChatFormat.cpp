#include "messaging/ChatFormat.h"

#include "messaging/Emoticons.h"
#include "protocol/ChatTexts.h"

#include <algorithm>

namespace tavrin::messaging {

namespace {

constexpr std::array<const char *, 10> kBuiltInWords = {
    "fuck", "Piss", "wank", "cunt", "shag", "bastard", "tosser", "shit", "bollocks", "pussy",
};

// Found "at a position greater than 1": anywhere after the first character.
bool foundAfterFirst(const QString &line, const QString &what, Qt::CaseSensitivity cs)
{
    return !what.isEmpty() && line.indexOf(what, 1, cs) >= 0;
}

bool needsReplacement(char16_t c)
{
    if (c < 0x20)
        return c != u'\t' && c != u'\r' && c != u'\n';
    // DEL; the object-replacement character (a picture's place holder); the frame markers
    // that a text cursor turns into structure.
    return c == 0x7F || c == 0xFFFC || c == 0xFDD0 || c == 0xFDD1;
}

} // namespace

QString stampIncoming(const QTime &time, const QString &message)
{
    return QLatin1Char('(') + remote::hoursMinutes(time) + QLatin1String(chattexts::kIncomingStampEnd) + message;
}

const std::array<const char *, 10> &builtInWords() { return kBuiltInWords; }

ChatFilter::ChatFilter(QStringList filterTexts, bool caseSensitive)
    : filters_(std::move(filterTexts)), caseSensitive_(caseSensitive)
{
}

bool ChatFilter::drops(const QString &line) const
{
    // Upper-casing both sides is a case-blind comparison.
    const Qt::CaseSensitivity filterCase = caseSensitive_ ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (const QString &f : filters_) {
        if (foundAfterFirst(line, f, filterCase))
            return true;
    }
    for (const char *word : kBuiltInWords) {
        if (foundAfterFirst(line, QString::fromLatin1(word), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

SenderSplit splitSender(const QString &line)
{
    const qsizetype at = line.indexOf(QLatin1Char('>'));
    if (at < 0)
        return {QString(), line};
    return {line.left(at + 1), line.mid(at + 1)};
}

QString crToCrLf(const QString &message)
{
    if (!message.contains(QLatin1Char('\r')))
        return message;
    QString out;
    out.reserve(message.size() + 16);
    for (QChar c : message) {
        out.append(c);
        if (c == QLatin1Char('\r'))
            out.append(QLatin1Char('\n'));
    }
    return out;
}

QString oneLine(const QString &text)
{
    const auto isBreak = [](QChar c) {
        return c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar::LineSeparator
               || c == QChar::ParagraphSeparator;
    };
    if (std::none_of(text.begin(), text.end(), isBreak))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!isBreak(c)) {
            out.append(c);
            continue;
        }
        out.append(QLatin1Char(' '));
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
    }
    return out;
}

QString displayText(const QString &text)
{
    bool clean = true;
    for (qsizetype i = 0; i < text.size() && clean; ++i) {
        const QChar c = text.at(i);
        if (needsReplacement(c.unicode()) || c.isSurrogate() || (c == QLatin1Char('\r') && i + 1 < text.size()))
            clean = false;
    }
    if (clean)
        return text;

    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out.append(c);
            out.append(text.at(++i));
        } else if (c.isSurrogate() || needsReplacement(c.unicode())) {
            out.append(QChar::ReplacementCharacter);
        } else if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
            // One break, not two: a text cursor ends a paragraph at CR and again at LF.
            out.append(QLatin1Char('\n'));
            ++i;
        } else {
            out.append(c);
        }
    }
    return out;
}

bool needsOwnParagraph(const QString &text)
{
    return text.isRightToLeft() || std::any_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
    });
}

QList<LineSegment> emoticonSegments(const QString &text)
{
    QList<LineSegment> segments;
    if (text.isEmpty())
        return segments;
    segments.append({text, -1});
    const auto occursIn = [&segments](const QString &code) {
        for (const LineSegment &seg : segments) {
            if (seg.picture < 0 && seg.text.contains(code))
                return true;
        }
        return false;
    };
    QList<LineSegment> next;
    for (int element = 0; element < kEmoticonCount; ++element) {
        for (const QString &code : emoticonCodes(element)) {
            if (!occursIn(code))
                continue;
            next.clear();
            next.reserve(segments.size() + 8);
            for (LineSegment &seg : segments) {
                qsizetype at = seg.picture < 0 ? seg.text.indexOf(code) : -1;
                if (at < 0) {
                    next.append(std::move(seg));
                    continue;
                }
                qsizetype from = 0;
                while (at >= 0) {
                    if (at > from)
                        next.append({seg.text.mid(from, at - from), -1});
                    next.append({QString(), element});
                    // Searching again from where the occurrence began finds the next one
                    // after the picture: the picture itself never matches.
                    from = at + code.size();
                    at = seg.text.indexOf(code, from);
                }
                if (from < seg.text.size())
                    next.append({seg.text.mid(from), -1});
            }
            segments.swap(next);
        }
    }
    return segments;
}

QString inLogPieces(const QString &text)
{
    qsizetype run = 0;
    return inLogPieces(text, run);
}

QString inLogPieces(const QString &text, qsizetype &run)
{
    if (run + text.size() <= kLogPieceLength && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r'))) {
        run += text.size();
        return text;
    }
    QString out;
    out.reserve(text.size() + text.size() / kLogPieceLength + 1);
    for (const QChar ch : text) {
        const bool lineEnd = ch == QLatin1Char('\n') || ch == QLatin1Char('\r');
        if (lineEnd) {
            run = 0;
        } else if (run >= kLogPieceLength) {
            out += QLatin1Char('\n');
            run = 0;
        }
        if (!lineEnd)
            ++run;
        out += ch;
    }
    return out;
}

QString leftWhole(const QString &text, qsizetype limit)
{
    if (text.size() <= limit)
        return text;
    if (limit > 0 && text.at(limit - 1).isHighSurrogate())
        --limit;
    return text.left(std::max<qsizetype>(limit, 0));
}

QString cutMark(qsizetype leftOut)
{
    return QString::fromUtf8(chattexts::kCutMark).arg(leftOut);
}

QString forLog(const QString &entry)
{
    if (entry.size() <= kLogPieceLength)
        return entry;
    if (entry.size() <= kShownLineLimit)
        return inLogPieces(entry);
    qsizetype end = entry.size();
    while (end > 0 && (entry.at(end - 1) == QLatin1Char('\n') || entry.at(end - 1) == QLatin1Char('\r')))
        --end;
    QString shown = entry.left(end);
    if (shown.size() > kShownLineLimit) {
        shown = leftWhole(shown, kShownLineLimit);
        shown += cutMark(end - shown.size());
    }
    return inLogPieces(shown + entry.mid(end));
}

} // namespace tavrin::messaging
