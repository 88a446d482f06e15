#pragma once
// Words a server chose (an HTTP reason phrase, an address it redirects to), as a status line
// may show them: without control characters, and cut at kShownServerChars with "...", so
// that a line of thousands of characters cannot stretch a window off the screen.

#include <QString>

namespace tavrin {

inline constexpr qsizetype kShownServerChars = 120;

inline QString shownServerText(QString text)
{
    text.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    if (text.size() > kShownServerChars)
        text = text.left(kShownServerChars) + QStringLiteral("...");
    return text;
}

} // namespace tavrin
