#pragma once
// The platform's default time and date texts, the one place that makes them: the system
// locale's long time format without its time-zone field ("14:05:09"), and the system
// locale's short date, both in ASCII digits whatever digits the locale writes. Everything
// that joins a time to text without a pattern (transmit requests, user commands, the sysop
// log) uses these.

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

namespace tavrin::remote {

QString defaultTimeText(const QTime &time);
QString defaultDateText(const QDate &date);

// The same texts as `locale` writes them.
QString timeTextIn(const QLocale &locale, const QTime &time);
QString dateTextIn(const QLocale &locale, const QDate &date);

// A time format with its time-zone field ("t") and the blank that joined it removed;
// quoted literal text is left alone.
QString withoutTimeZone(const QString &timeFormat);

} // namespace tavrin::remote
