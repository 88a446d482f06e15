#pragma once
// The line a user button sends: the time text taken at the press, one space, and the
// button's command text unchanged (an empty command still sends the time and the space).

#include <QString>

namespace tavrin {

QString userCommandLine(const QString &timeText, const QString &commandText);

} // namespace tavrin
