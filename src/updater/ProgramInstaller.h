#pragma once
// Puts a verified new program in place of the installed one. The installed program is never
// removed before the new one is complete: the new file is made executable, the old one is
// kept as "<target>.previous", then the new file is renamed over the target in one step. If
// that step fails and the target went missing, the backup is put back.
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

    void setReplaceStep(ReplaceStep step) { replace_ = std::move(step); }
    static bool atomicReplace(const QString &from, const QString &to, QString *error);

private:
    ReplaceStep replace_;
};

} // namespace tavrin::updater
