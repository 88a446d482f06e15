#pragma once
// What the chat window puts on the wire or recognises there besides private messages: the
// chat program's version query and answer, and the time stamp before an outgoing line.
//
// Pure functions; any thread.

#include <QString>
#include <QTime>

namespace tavrin::remote {

// "/chat/" anywhere in the line, exact letter case.
bool isChatVersionQuery(const QString &line);
// "Chat-QX v1.2.2" from the build's version numbers.
QString chatVersionAnswer();

// "HH:MM", 24-hour, two digits each: the time in stamps and sent lines.
QString hoursMinutes(const QTime &time);
// "(" + HH:MM + ") >" + text, as outgoing lines are stamped.
QString stampOutgoing(const QTime &time, const QString &text);

} // namespace tavrin::remote
