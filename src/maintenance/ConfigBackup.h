#pragma once
// Copies every settings file of both programs (every "*.ini" of the settings directory) into
// a new dated folder beside them, "backup-YYYY-MM-DD-hhmmss" (a suffix "-2", "-3", ... when
// that name is taken). Either every file is copied or the new folder is removed again.
//
// Thread: any; touches only the file system.

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tavrin::maintenance {

struct BackupResult {
    bool ok = false;
    QString folder;      // the new folder's full path (when ok)
    QStringList copied;  // file names copied (when ok)
    QString error;       // worded for the user (when not ok)
};

BackupResult backupSettings(const QString &settingsDir, const QDateTime &now);

// The folder name a backup made at `now` gets first.
QString backupFolderName(const QDateTime &now);

} // namespace tavrin::maintenance
