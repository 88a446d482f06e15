#include "protocol/TimeTexts.h"

#include <QLocale>

namespace tavrin::remote {

namespace {

struct SystemFormats {
    QLocale locale = QLocale::system();
    QString time = withoutTimeZone(locale.timeFormat(QLocale::LongFormat));
    QString date = locale.dateFormat(QLocale::ShortFormat);
};

// Read once: the locale does not change under a running program, and chat lines are hot.
const SystemFormats &formats()
{
    static const SystemFormats f;
    return f;
}

// Digits of other scripts ("١٤", "۱۴") as ASCII ones: the texts go out on the chat, where the
// node and stations abroad read them. The locale's words (an "AM" or "م") stay.
QString withAsciiDigits(QString text)
{
    for (QChar &c : text) {
        if (c.unicode() >= 0x80 && c.isDigit())
            c = QChar(u'0' + c.digitValue());
    }
    return text;
}

} // namespace

QString withoutTimeZone(const QString &timeFormat)
{
    QString out;
    out.reserve(timeFormat.size());
    bool quoted = false;
    for (qsizetype i = 0; i < timeFormat.size(); ++i) {
        const QChar c = timeFormat[i];
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out.append(c);
            continue;
        }
        if (quoted || c != QLatin1Char('t')) {
            out.append(c);
            continue;
        }
        while (i + 1 < timeFormat.size() && timeFormat[i + 1] == QLatin1Char('t'))
            ++i;
        // A zone in brackets ("H:mm:ss (t)") takes its brackets with it.
        if (!out.isEmpty() && i + 1 < timeFormat.size()
            && ((out.back() == QLatin1Char('(') && timeFormat[i + 1] == QLatin1Char(')'))
                || (out.back() == QLatin1Char('[') && timeFormat[i + 1] == QLatin1Char(']')))) {
            out.chop(1);
            ++i;
        }
        // Drop the blank that separated the field: before it if any, else after it.
        if (!out.isEmpty() && out.back().isSpace()) {
            while (!out.isEmpty() && out.back().isSpace())
                out.chop(1);
        } else {
            while (i + 1 < timeFormat.size() && timeFormat[i + 1].isSpace())
                ++i;
        }
    }
    return out.trimmed();
}

QString defaultTimeText(const QTime &time) { return withAsciiDigits(formats().locale.toString(time, formats().time)); }

QString defaultDateText(const QDate &date) { return withAsciiDigits(formats().locale.toString(date, formats().date)); }

QString timeTextIn(const QLocale &locale, const QTime &time)
{
    return withAsciiDigits(locale.toString(time, withoutTimeZone(locale.timeFormat(QLocale::LongFormat))));
}

QString dateTextIn(const QLocale &locale, const QDate &date)
{
    return withAsciiDigits(locale.toString(date, locale.dateFormat(QLocale::ShortFormat)));
}

} // namespace tavrin::remote
