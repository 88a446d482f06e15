#include "core/InstanceLock.h"

#include <QCoreApplication>
#include <QFile>
#include <QLockFile>
#include <QSysInfo>

#ifndef Q_OS_WIN
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tavrin {

InstanceLock::InstanceLock(QString path) : path_(std::move(path)) {}

#ifdef Q_OS_WIN

InstanceLock::~InstanceLock() = default;

namespace {

bool removeLeftover(const QString &path)
{
    // A running copy keeps its lock file open without letting anyone delete it. A file that
    // can go is a leftover Qt cannot judge by its process: a crash on another computer (a
    // roaming profile), under an earlier computer name, or one made read-only since.
    if (!QFile::exists(path))
        return false;
    QFile::setPermissions(path, QFile::permissions(path) | QFile::WriteOwner | QFile::WriteUser);
    return QFile::remove(path);
}

} // namespace

InstanceLock::Result InstanceLock::tryLock()
{
    file_ = std::make_unique<QLockFile>(path_);
    // Never stale by age: the first instance may run for days. A lock left by a crashed run
    // is still recognised by its dead process.
    file_->setStaleLockTime(0);
    if (file_->tryLock(0))
        return Result::Locked;
    if (file_->error() == QLockFile::LockFailedError && removeLeftover(path_) && file_->tryLock(0))
        return Result::Locked;
    const bool held = file_->error() == QLockFile::LockFailedError;
    file_.reset();
    return held ? Result::HeldElsewhere : Result::Failed;
}

bool InstanceLock::isLocked() const
{
    return file_ && file_->isLocked();
}

#else

namespace {

// A few lines for whoever looks at the file, in the order Qt's lock file writes them.
QByteArray holderText()
{
    return QByteArray::number(qint64(::getpid())) + '\n' + QCoreApplication::applicationName().toUtf8() + '\n'
           + QSysInfo::machineHostName().toUtf8() + '\n';
}

} // namespace

InstanceLock::~InstanceLock()
{
    if (fd_ < 0)
        return;
    // Removed while still held: a copy that opened the file just before sees, once it has
    // the lock, that the file at the path is no longer the one it locked, and starts over.
    ::unlink(QFile::encodeName(path_).constData());
    ::close(fd_);
}

InstanceLock::Result InstanceLock::tryLock()
{
    if (fd_ >= 0)
        return Result::Locked;
    const QByteArray path = QFile::encodeName(path_);
    // Each round loses only to a holder that removed the file between our open and our lock.
    for (int round = 0; round < 8; ++round) {
        int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
            // Another user's file in a shared folder, or a folder on read-only media: the lock
            // needs no writing, and failing here would let a second copy run beside the first.
            fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        }
        if (fd < 0)
            return Result::Failed;
        // Everyone who may use the folder must be able to open the file to see the lock: under
        // a private umask (077) another user's copy could not, and would run beside this one.
        // The file holds nothing private.
        if (struct stat own {}; ::fstat(fd, &own) == 0 && own.st_uid == ::geteuid()
                                && (own.st_mode & 0444) != 0444) {
            [[maybe_unused]] const int changed = ::fchmod(fd, (own.st_mode & 07777) | 0444);
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            return error == EWOULDBLOCK ? Result::HeldElsewhere : Result::Failed;
        }
        struct stat opened {};
        struct stat atPath {};
        if (::fstat(fd, &opened) == 0 && ::stat(path.constData(), &atPath) == 0 && opened.st_dev == atPath.st_dev
            && opened.st_ino == atPath.st_ino) {
            const QByteArray text = holderText();
            if (::ftruncate(fd, 0) == 0) {
                // What it says is for people; a short write changes nothing about the lock.
                [[maybe_unused]] const ssize_t written = ::write(fd, text.constData(), size_t(text.size()));
            }
            fd_ = fd;
            return Result::Locked;
        }
        ::close(fd);
    }
    return Result::Failed;
}

bool InstanceLock::isLocked() const
{
    return fd_ >= 0;
}

#endif

} // namespace tavrin
