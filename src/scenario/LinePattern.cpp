#include "scenario/LinePattern.h"

namespace tavrin::scenario {

namespace {

const QString kTimeShape = QStringLiteral(R"(\d{1,2}:\d{2}:\d{2}(?:\s?[AaPp]\.?[Mm]\.?)?)");
const QString kSecondsShape = QStringLiteral(R"(\d{2}:\d{2}:\d{2})");
const QString kMinutesShape = QStringLiteral(R"(\d{2}:\d{2})");

// Length of the run of `c` starting at `i`.
qsizetype runLength(const QString &s, qsizetype i)
{
    qsizetype j = i;
    while (j < s.size() && s.at(j) == s.at(i))
        ++j;
    return j - i;
}

} // namespace

QString LinePattern::dateShape(const QString &format)
{
    QString shape;
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format.at(i);
        if (c == u'\'') {
            // Quoted literal; '' is a single quote.
            qsizetype j = i + 1;
            QString literal;
            while (j < format.size()) {
                if (format.at(j) == u'\'') {
                    if (j + 1 < format.size() && format.at(j + 1) == u'\'') {
                        literal += u'\'';
                        j += 2;
                        continue;
                    }
                    break;
                }
                literal += format.at(j++);
            }
            shape += QRegularExpression::escape(i + 1 == j ? QStringLiteral("'") : literal);
            i = j + 1;
            continue;
        }
        const qsizetype run = runLength(format, i);
        if (c == u'd' || c == u'M') {
            if (run == 1)
                shape += QStringLiteral(R"(\d{1,2})");
            else if (run == 2)
                shape += QStringLiteral(R"(\d{2})");
            else
                shape += QStringLiteral(R"([\p{L}\p{M}]+\.?)"); // day or month name
        } else if (c == u'y') {
            shape += run >= 4 ? QStringLiteral(R"(-?\d{4,})") : QStringLiteral(R"(\d{2})");
        } else {
            shape += QRegularExpression::escape(format.mid(i, run));
        }
        i += run;
    }
    return shape;
}

LinePattern::LinePattern(const QString &pattern, const QLocale &locale)
{
    const QString date = dateShape(locale.dateFormat(QLocale::ShortFormat));
    const struct {
        QString placeholder;
        QString shape;
    } placeholders[] = {
        {QStringLiteral("{time}"), kTimeShape},
        {QStringLiteral("{hh:mm:ss}"), kSecondsShape},
        {QStringLiteral("{HH:MM}"), kMinutesShape},
        {QStringLiteral("{date}"), date},
    };

    // Literal runs are escaped whole, so a character outside the basic plane stays intact.
    QString regex;
    QString literal;
    qsizetype i = 0;
    while (i < pattern.size()) {
        bool replaced = false;
        for (const auto &p : placeholders) {
            if (QStringView(pattern).mid(i).startsWith(p.placeholder)) {
                regex += QRegularExpression::escape(literal) + QStringLiteral("(?:") + p.shape + u')';
                literal.clear();
                i += p.placeholder.size();
                replaced = true;
                break;
            }
        }
        if (!replaced)
            literal += pattern.at(i++);
    }
    regex += QRegularExpression::escape(literal);
    regex_ = QRegularExpression(QRegularExpression::anchoredPattern(regex),
                                QRegularExpression::UseUnicodePropertiesOption);
}

bool LinePattern::matches(const QString &line) const
{
    return regex_.match(line).hasMatch();
}

} // namespace tavrin::scenario
