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

QString defaultTimeText(const QTime &time) { return formats().locale.toString(time, formats().time); }

QString defaultDateText(const QDate &date) { return formats().locale.toString(date, formats().date); }

} // namespace tavrin::remote
