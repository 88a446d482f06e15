#include "updater/ProgramInstaller.h"

#include "updater/UpdaterTexts.h"

#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

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

} // namespace

ProgramInstaller::ProgramInstaller() : replace_(&ProgramInstaller::atomicReplace) {}

QString ProgramInstaller::backupPathFor(const QString &target) { return target + QLatin1String(kBackupSuffix); }

bool ProgramInstaller::atomicReplace(const QString &from, const QString &to, QString *error)
{
    std::error_code ec;
    std::filesystem::rename(pathOf(from), pathOf(to), ec); // replaces `to` in one step
    if (ec && error)
        *error = QString::fromStdString(ec.message());
    return !ec;
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
    if (hadProgram && !keepBackup(target, backup, &result.error))
        return result;

    QString why;
    if (replace_(newFile, target, &why)) {
        result.ok = true;
        return result;
    }
    result.error = QStringLiteral("cannot replace %1 (%2)").arg(target, why);
    if (hadProgram && !QFileInfo::exists(target)) {
        std::error_code ec;
        std::filesystem::copy_file(pathOf(backup), pathOf(target), ec);
        if (!ec)
            QFile::setPermissions(target, QFile::permissions(backup));
        else
            result.error += QStringLiteral("; the previous program is kept as %1").arg(backup);
    }
    return result;
}

} // namespace tavrin::updater
