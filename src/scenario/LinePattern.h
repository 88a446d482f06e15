#pragma once
// The pattern of an `expect-sent` step: literal text with placeholders for the parts that
// depend on the moment of sending.
//   {time}      h:mm:ss or hh:mm:ss (an AM/PM marker may follow)
//   {hh:mm:ss}  two digits per field
//   {HH:MM}     two digits per field
//   {date}      a date in the shape of the system locale's short date
// Any other text, braces included, must match exactly.

#include <QLocale>
#include <QRegularExpression>
#include <QString>

namespace tavrin::scenario {

class LinePattern {
public:
    explicit LinePattern(const QString &pattern, const QLocale &locale = QLocale::system());
    bool matches(const QString &line) const;

    // A regular expression (without anchors) for dates written in `format`, a QLocale date
    // format such as "dd.MM.yyyy" or "M/d/yy".
    static QString dateShape(const QString &format);

private:
    QRegularExpression regex_;
};

} // namespace tavrin::scenario
