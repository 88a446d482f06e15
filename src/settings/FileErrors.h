#pragma once
// The reason a file could not be written, worded for the user. Qt's own text is "Unknown
// error" where it lost the system's reason (a failed QSaveFile::commit()), and a full disk
// gets plain words whatever the platform calls it.
//
// Plain functions, any thread.

#include <QString>

class QFileDevice;

namespace tavrin {

inline constexpr char kDiskFullText[] = "the disk is full.";
inline constexpr char kNotWrittenText[] = "the file could not be written.";

// After a failed open, write, flush or commit of `file` in `folder`.
QString writeErrorText(const QFileDevice &file, const QString &folder);
// The same from Qt's text (as QFile::copy() leaves it on the source file).
QString writeErrorText(const QString &qtText, const QString &folder);

} // namespace tavrin
