#pragma once
// The settings store: INI files in the private-profile format, one per window, all in one
// directory shared by Tavrin and the updater.
//
// Rules the windows rely on:
//  1. section and key names match without regard to letter case;
//  2. a missing file, section or key yields the default; a key present with an empty value
//     yields empty text;
//  3. a value comes back cut to capacity - 1 characters (264, or 255 for the sysop box file);
//     a value in quotes (Name="My Station") is the text between them;
//  4. writing creates file and section when missing, replaces an existing key's value in
//     place, and appends a new key at the end of its section.
// Beyond that: writes are atomic (the previous file survives a failed write), lines the
// store does not understand (other sections, comments, unknown keys, junk) are kept byte for
// byte, and a failed write is reported to the caller, as is a value too long to read back
// whole (which is not written). Files are UTF-8; a file in the Windows code page or in UTF-16
// is read as such and keeps its encoding (FileEncoding.h). File names match without regard to
// letter case, as on Windows, where the files may come from. Lines end in LF, CR LF or a lone
// CR. A file over 1 MiB is no settings file: only its first whole lines are read, and a save
// to it fails, leaving it as it is. A path that is no plain file (a folder, a pipe) reads as
// missing and is never written; a link to a file not there yet reads as missing, and a save
// creates the file it names.
//
// Thread: user-interface thread. Owns nothing but the directory name.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace tavrin {

inline constexpr char kSettingsSection[] = "SETTINGS";

// The result of a save: ok, or the reason it failed, worded for the user.
struct SaveResult {
    bool ok = true;
    QString error;
    explicit operator bool() const { return ok; }
};

using KeyValues = QList<QPair<QString, QString>>;

// One file's settings as read at one moment; a window reads all its keys from one snapshot
// instead of parsing the file once per key.
class ProfileSnapshot {
public:
    ProfileSnapshot() = default;
    // The file's bytes, in any encoding FileEncoding.h knows.
    ProfileSnapshot(const QByteArray &fileContent, int capacity);
    // ReadSetting against this snapshot (rules 1 to 3).
    QString ReadSetting(const QString &key, const QString &defaultValue) const;
    bool contains(const QString &key) const;

    // The file has lines, but no SETTINGS section: it was not written by us, or a hand edit
    // lost the header. Every key reads as its default.
    bool notUnderstood() const;
    // Keys of the section whose values are longer than a read gives back, as the file has them.
    const QStringList &tooLong() const { return tooLong_; }
    // Keys above the first section header of a file that has the SETTINGS section: a hand
    // edit put them where nothing reads them.
    const QStringList &aboveSection() const { return aboveSection_; }

private:
    QHash<QString, QString> entries_; // keys upper-cased, first occurrence wins
    QStringList tooLong_;
    QStringList aboveSection_;
    int capacity_ = 265;
    bool hasSection_ = false;
    bool hasContent_ = false;
};

class ProfileStore {
public:
    explicit ProfileStore(QString directory);

    const QString &directory() const { return directory_; }
    // The file's path. A file of that name in another letter case (brought from Windows,
    // which does not tell them apart) is the one meant, when the name itself is not there.
    QString pathOf(const QString &fileName) const;

    // Buffer capacity the program uses for that file: 265, or 256 for the sysop box file.
    static int capacityFor(const QString &fileName);

    // A file that cannot be read or is not understood gives every key its default, and says
    // so once in takeLoadProblems(); so does a value longer than a read gives back.
    ProfileSnapshot load(const QString &fileName) const;
    QString ReadSetting(const QString &fileName, const QString &key, const QString &defaultValue) const;

    // What loads found wrong with the files, worded for the user, each said once; taken by
    // whoever tells the user.
    QStringList takeLoadProblems();

    SaveResult WriteSetting(const QString &fileName, const QString &key, const QString &value);
    // All keys in one atomic write; the resulting file equals what the key-by-key writes in
    // the same order would give. A value longer than a read gives back (as given, in
    // characters) is not written: the file keeps its earlier value, the rest is saved, and
    // the result is a failure that names it.
    SaveResult writeBatch(const QString &fileName, const KeyValues &values);

    // What keeps this run from reading or saving its settings, worded for the operator: a
    // folder that is missing or cannot be read or written, and each "*.ini" in it that exists
    // but cannot be read (load() gives such a file's keys their defaults). Empty when all is well.
    QStringList accessProblems() const;

    // Default directory: $TAVRIN_CONFIG_DIR if set, else the per-user configuration folder
    // ($XDG_CONFIG_HOME/tavrin).
    static QString defaultDirectory();

private:
    void noteLoadProblem(const QString &text) const;

    QString directory_;
    mutable QStringList loadProblems_;
    mutable QStringList problemsSaid_;
};

// The letter case the windows write their keys in: a key made of "Text", a number and possibly
// the suffix "a" is written with "TEXT" ("Text7a" -> "TEXT7a"); every other key as it is read.
QString writtenKey(const QString &readKey);
QStringList writtenKeys(const QStringList &readKeys);

// Pure text transformation behind writeBatch: applies the writes to a file's content
// (UTF-8; writeBatch converts other encodings around it).
QByteArray applyWrites(const QByteArray &content, const QString &section, const KeyValues &values);

} // namespace tavrin
