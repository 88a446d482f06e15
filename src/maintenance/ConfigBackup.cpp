#include "maintenance/ConfigBackup.h"

#include "settings/FileErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tavrin::maintenance {

namespace {

constexpr char kFolderPattern[] = "'backup-'yyyy-MM-dd-HHmmss";
constexpr char kSettingsPattern[] = "*.ini";
constexpr int kMaxSuffix = 100;
constexpr char kNoDirectory[] = "the settings folder %1 does not exist";
constexpr char kNoFiles[] = "there are no settings files in %1 yet";
constexpr char kNoFolder[] = "cannot create a folder in %1";
constexpr char kCopyFailed[] = "cannot copy %1: %2";

BackupResult failure(const QString &error)
{
    BackupResult r;
    r.error = error;
    return r;
}

} // namespace

QString backupFolderName(const QDateTime &now)
{
    return now.toString(QString::fromLatin1(kFolderPattern));
}

BackupResult backupSettings(const QString &settingsDir, const QDateTime &now)
{
    QDir dir(settingsDir);
    if (!dir.exists())
        return failure(QString::fromLatin1(kNoDirectory).arg(QDir::toNativeSeparators(settingsDir)));
    const QStringList files = dir.entryList({QString::fromLatin1(kSettingsPattern)}, QDir::Files | QDir::Hidden,
                                            QDir::Name);
    if (files.isEmpty())
        return failure(QString::fromLatin1(kNoFiles).arg(QDir::toNativeSeparators(dir.absolutePath())));

    // Never write into an existing folder: an earlier backup stays as it was.
    const QString base = backupFolderName(now);
    QString name;
    for (int n = 1; n <= kMaxSuffix && name.isEmpty(); ++n) {
        const QString candidate = n == 1 ? base : base + QLatin1Char('-') + QString::number(n);
        if (!dir.exists(candidate) && dir.mkdir(candidate))
            name = candidate;
    }
    if (name.isEmpty())
        return failure(QString::fromLatin1(kNoFolder).arg(QDir::toNativeSeparators(dir.absolutePath())));

    QDir target(dir.filePath(name));
    for (const QString &file : files) {
        QFile source(dir.filePath(file));
        if (!source.copy(target.filePath(file))) {
            const QString reason = writeErrorText(source, target.absolutePath());
            target.removeRecursively();
            return failure(QString::fromLatin1(kCopyFailed).arg(file, reason));
        }
    }

    BackupResult r;
    r.ok = true;
    r.folder = target.absolutePath();
    r.copied = files;
    return r;
}

} // namespace tavrin::maintenance
