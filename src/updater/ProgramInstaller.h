#pragma once
// Puts a verified new program in place of the installed one. The installed program is never
// removed before the new one is complete: the new file is made executable, the old one is
// kept as "<target>.previous", then the new file takes the target's name. If that step fails
// and the target went missing, the backup is put back.
//
// Two ways to take the name, by platform:
// - in place (Linux): the backup is a second name (a hard link) for the old program and the new
//   file is renamed over the target in one step;
// - moving aside (Windows): a running program cannot be overwritten or removed there, only
//   renamed, so the old program is renamed to the backup name and the new file moved into the
//   free name. A backup that cannot be removed because that older program still runs is renamed
//   aside (".<name>.old-N") instead; removeAsideFiles() clears those on a later run.
//
// Thread: any. Owns nothing.

#include <QString>

#include <functional>

namespace tavrin::updater {

struct InstallResult {
    bool ok = false;
    QString error; // worded for the user
};

class ProgramInstaller {
public:
    // The step that renames `from` over `to`; replaceable so tests can make it fail.
    using ReplaceStep = std::function<bool(const QString &from, const QString &to, QString *error)>;

    ProgramInstaller();

    static QString backupPathFor(const QString &target);

    // Moves `newFile` to `target`; on failure `target` holds the previous program (if there
    // was one) and `newFile` is left for the caller to remove.
    InstallResult install(const QString &newFile, const QString &target) const;
    // Puts the backup back at `target`, after an install whose result turned out not to be the
    // new program; the backup stays.
    InstallResult restorePrevious(const QString &target) const;

    // After an update that was killed between moving the installed program aside and putting
    // the new one in its place (Windows): the target is missing but its backup is there, so the
    // backup goes back. Nothing happens otherwise; ok unless a needed restore failed.
    static InstallResult recoverInterrupted(const QString &target);

    // Removes the files that earlier installs moved aside beside `target` and that are no
    // longer in use; those still running stay for the next time.
    static void removeAsideFiles(const QString &target);

    void setReplaceStep(ReplaceStep step) { replace_ = std::move(step); }
    static bool atomicReplace(const QString &from, const QString &to, QString *error);
    // Defaults to the platform's way; tests pick one.
    void setMoveAside(bool moveAside) { moveAside_ = moveAside; }

private:
    ReplaceStep replace_;
    bool moveAside_;
};

} // namespace tavrin::updater
