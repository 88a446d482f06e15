#include "settings/FileErrors.h"

#include <QFileDevice>
#include <QStorageInfo>

#include <cerrno>
#include <cstring>

namespace tavrin {

namespace {

// Less free space than this after a failed write: the disk is full, whatever the error said.
constexpr qint64 kFullBelowBytes = 64 * 1024;

bool diskIsFull(const QString &qtText, const QString &folder)
{
    if (qtText.contains(QString::fromLocal8Bit(std::strerror(ENOSPC)), Qt::CaseInsensitive))
        return true;
    const QStorageInfo storage(folder);
    return storage.isValid() && storage.isReady() && storage.bytesAvailable() >= 0
        && storage.bytesAvailable() < kFullBelowBytes;
}

} // namespace

QString writeErrorText(const QFileDevice &file, const QString &folder)
{
    return writeErrorText(file.errorString(), folder);
}

QString writeErrorText(const QString &qtText, const QString &folder)
{
    if (diskIsFull(qtText, folder))
        return QString::fromLatin1(kDiskFullText);
    // QIODevice's text when nothing more is known.
    if (qtText.isEmpty() || qtText == QLatin1String("Unknown error"))
        return QString::fromLatin1(kNotWrittenText);
    return qtText;
}

} // namespace tavrin
