#include "settings/FileErrors.h"

#include <QFileDevice>
#include <QStorageInfo>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace tavrin {

namespace {

// Less free space than this after a failed write: the disk is full, whatever the error said.
constexpr qint64 kFullBelowBytes = 64 * 1024;

#ifdef Q_OS_WIN
// The system's words for an error, as Qt puts them in a failed write's text on Windows.
QString systemText(DWORD code)
{
    wchar_t *buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    const QString text = QString::fromWCharArray(buffer, int(length)).trimmed();
    LocalFree(buffer);
    return text;
}
#endif

bool diskIsFull(const QString &qtText, const QString &folder)
{
    if (qtText.contains(QString::fromLocal8Bit(std::strerror(ENOSPC)), Qt::CaseInsensitive))
        return true;
#ifdef Q_OS_WIN
    // Windows says it in its own words, not the C library's.
    for (const DWORD code : {DWORD(ERROR_DISK_FULL), DWORD(ERROR_HANDLE_DISK_FULL)}) {
        const QString text = systemText(code);
        if (!text.isEmpty() && qtText.contains(text, Qt::CaseInsensitive))
            return true;
    }
#endif
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
