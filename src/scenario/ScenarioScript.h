#pragma once
// A scenario file as data: one step per line, words separated by blanks, double-quoted
// words may hold blanks (\" and \\ escape), "#" starts a comment. The parser checks every
// step's name, word count, fixed choices and when it may run, so a typo is reported with its
// line number before the program starts.
//
// Plain logic: no windows, no event loop.

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tavrin::scenario {

struct Step {
    int line = 0;     // 1-based line in the file; 0 for the implied start
    QString name;     // "click", "expect-sent", ...
    QStringList args; // words after the name, quotes and escapes removed
};

struct ScriptError {
    int line = 0;
    QString message;
    QString toString() const;
};

struct Script {
    // Steps in file order. A file without a "start" line gets one in front (line 0).
    QList<Step> steps;
    // Index of the start step in `steps`.
    int startIndex = 0;
};

// Splits one line into words. Returns false with `error` set when the quoting is broken.
// A line that is blank or a comment gives no words.
bool splitWords(const QString &line, QStringList *words, QString *error);

// Parses and checks a whole file.
std::optional<Script> parseScript(const QString &text, ScriptError *error);

// The words that mean on and off, true and false in steps and expected values.
std::optional<bool> parseFlag(const QString &word);

} // namespace tavrin::scenario
