#include "updater/ProgramInstaller.h"

#include "updater/UpdaterTexts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace tavrin::updater {

namespace {

constexpr QFile::Permissions kProgramPermissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
    | QFile::ReadUser | QFile::WriteUser | QFile::ExeUser | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
    | QFile::ExeOther;

std::filesystem::path pathOf(const QString &name) { return std::filesystem::path(name.toStdU16String()); }

// A second name for the installed program; a hard link costs nothing, a copy where links fail.
bool keepBackup(const QString &target, const QString &backup, QString *error)
{
    std::error_code ec;
    std::filesystem::remove(pathOf(backup), ec);
    ec.clear();
    std::filesystem::create_hard_link(pathOf(target), pathOf(backup), ec);
    if (!ec)
        return true;
    std::filesystem::copy_file(pathOf(target), pathOf(backup), ec);
    if (!ec)
        return true;
    *error = QStringLiteral("cannot keep a backup of the installed program (%1)")
                 .arg(QString::fromStdString(ec.message()));
    return false;
}

// ".<name>.old-": hidden like the download's temporary files, and found again by its prefix.
QString asidePrefix(const QFileInfo &target)
{
    return QLatin1Char('.') + target.fileName() + QLatin1String(kAsideInfix);
}

bool renameFile(const QString &from, const QString &to, QString *error)
{
#ifdef Q_OS_WIN
    // Windows' own words for why (the standard library folds most reasons into one).
    if (MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                    reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    if (error)
        *error = qt_error_string(int(GetLastError()));
    return false;
#else
    std::error_code ec;
    std::filesystem::rename(pathOf(from), pathOf(to), ec); // replaces `to` in one step
    if (ec && error)
        *error = QString::fromStdString(ec.message());
    return !ec;
#endif
}

// Renames `path` (perhaps a running program) to a free aside name beside `target`.
bool moveAside(const QString &path, const QString &target, QString *error)
{
    const QFileInfo info(target);
    const QString prefix = info.absolutePath() + QLatin1Char('/') + asidePrefix(info);
    for (int n = 1; n < 1000; ++n) {
        const QString aside = prefix + QString::number(n);
        if (!QFileInfo::exists(aside))
            return renameFile(path, aside, error);
    }
    *error = QStringLiteral("too many earlier programs are still running");
    return false;
}

} // namespace

#ifdef Q_OS_WIN
ProgramInstaller::ProgramInstaller() : replace_(&ProgramInstaller::atomicReplace), moveAside_(true) {}
#else
ProgramInstaller::ProgramInstaller() : replace_(&ProgramInstaller::atomicReplace), moveAside_(false) {}
#endif

void ProgramInstaller::removeAsideFiles(const QString &target)
{
    const QFileInfo info(target);
    const QDir dir(info.absolutePath());
    for (const QString &name : dir.entryList({asidePrefix(info) + u'*'}, QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(dir.filePath(name)); // one still running cannot go yet: next time
}

InstallResult ProgramInstaller::recoverInterrupted(const QString &target)
{
    if (QFileInfo::exists(target) || !QFileInfo::exists(backupPathFor(target)))
        return {true, QString()};
    return ProgramInstaller().restorePrevious(target);
}

QString ProgramInstaller::backupPathFor(const QString &target) { return target + QLatin1String(kBackupSuffix); }

bool ProgramInstaller::atomicReplace(const QString &from, const QString &to, QString *error)
{
    return renameFile(from, to, error);
}

InstallResult ProgramInstaller::install(const QString &newFile, const QString &target) const
{
    InstallResult result;
    if (!QFile::setPermissions(newFile, kProgramPermissions)) {
        result.error = QStringLiteral("cannot make the new program executable");
        return result;
    }
    const QString backup = backupPathFor(target);
    const bool hadProgram = QFileInfo::exists(target);
    if (hadProgram && !moveAside_ && !keepBackup(target, backup, &result.error))
        return result;
    if (hadProgram && moveAside_) {
        QString why;
        // An older backup that still runs cannot be removed, only renamed out of the way.
        if (QFileInfo::exists(backup) && !QFile::remove(backup) && !moveAside(backup, target, &why)) {
            result.error = QStringLiteral("cannot remove the older backup %1 (%2)")
                               .arg(QDir::toNativeSeparators(backup), why);
            return result;
        }
        if (!renameFile(target, backup, &why)) {
            result.error = QStringLiteral("cannot move the installed program aside (%1)").arg(why);
            return result;
        }
    }

    QString why;
    if (replace_(newFile, target, &why)) {
        result.ok = true;
        return result;
    }
    result.error = QStringLiteral("cannot replace %1 (%2)").arg(QDir::toNativeSeparators(target), why);
    if (hadProgram && !QFileInfo::exists(target)) {
        bool back = false;
        if (moveAside_) {
            // The old program (perhaps running) goes back under its own name.
            back = renameFile(backup, target, &why);
        } else {
            std::error_code ec;
            std::filesystem::copy_file(pathOf(backup), pathOf(target), ec);
            back = !ec;
            if (back)
                QFile::setPermissions(target, QFile::permissions(backup));
        }
        if (!back)
            result.error +=
                QStringLiteral("; the previous program is kept as %1").arg(QDir::toNativeSeparators(backup));
    }
    return result;
}

InstallResult ProgramInstaller::restorePrevious(const QString &target) const
{
    InstallResult result;
    const QString backup = backupPathFor(target);
    const QFileInfo info(target);
    // A copy of the backup takes the target's name in one step; the backup itself stays.
    const QString copy = info.absolutePath() + QLatin1String("/.") + info.fileName() + QLatin1String(".restore");
    std::error_code ec;
    std::filesystem::remove(pathOf(copy), ec);
    ec.clear();
    std::filesystem::copy_file(pathOf(backup), pathOf(copy), ec);
    QString why = QString::fromStdString(ec.message());
    if (!ec) {
        QFile::setPermissions(copy, QFile::permissions(backup));
        // Windows cannot rename over a file in use; the failed new one goes aside then.
        if (moveAside_ && QFileInfo::exists(target) && !QFile::remove(target))
            moveAside(target, target, &why);
        if (renameFile(copy, target, &why)) {
            result.ok = true;
            return result;
        }
        QFile::remove(copy);
    }
    result.error = QStringLiteral("the previous program could not be put back (%1); it is kept as %2")
                       .arg(why, QDir::toNativeSeparators(backup));
    return result;
}

} // namespace tavrin::updater
