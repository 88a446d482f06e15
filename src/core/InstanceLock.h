#pragma once
// One program per settings directory: a lock on a file in it, held for the whole run and let
// go by the system when the process ends in any way, so a crashed run never keeps the
// operator out. On Linux an flock(2) on the file, which Qt's own lock file also takes, so
// older builds of the program and this one see each other. Nothing is synced to disk on the
// way: start-up never waits for the disk. Elsewhere Qt's lock file.
//
// Thread: any one thread.

#include <QString>

#include <memory>

class QLockFile;

namespace tavrin {

class InstanceLock
{
public:
    enum class Result {
        Locked,       // this process holds the directory
        HeldElsewhere, // another running copy holds it
        Failed,       // no lock could be taken (an unwritable directory): nothing is known
    };

    explicit InstanceLock(QString path);
    ~InstanceLock(); // lets go and removes the file, if held
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    Result tryLock();
    bool isLocked() const;

private:
    QString path_;
#ifdef Q_OS_WIN
    std::unique_ptr<QLockFile> file_;
#else
    int fd_ = -1;
#endif
};

} // namespace tavrin
