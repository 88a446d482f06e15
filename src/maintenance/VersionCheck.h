#pragma once
// The version comparison behind the update check. Plain functions, no window.

#include <QString>

namespace tavrin::maintenance {

// major "." minor "." revision in plain decimals ("1.2.2").
QString versionText(int major, int minor, int revision);

// True when the fetched version file names another version than `running`: compared
// character for character, case and white space included, so a trailing line break or an
// older version counts as "another". An empty fetch (nothing arrived) is never an update.
bool isUpdateAvailable(const QString &fetched, const QString &running);

} // namespace tavrin::maintenance
