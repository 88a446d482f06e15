#include "updater/UpdaterSetup.h"

#include "BuildConfig.h"
#include "common/PlatformNames.h"
#include "settings/ProfileStore.h"
#include "updater/ReleaseKey.h"
#include "updater/ReleaseManifest.h"
#include "updater/UpdaterTexts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#ifdef Q_OS_WIN
#include <QLockFile>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace tavrin::updater {

namespace {

constexpr char kSettingsDirOption[] = "--settings-dir";
constexpr char kInstalledVersionOption[] = "--installed-version";
// Same variables as the main program's server addresses, so one setting steers both.
constexpr char kDownloadUrlVariable[] = "TAVRIN_DOWNLOAD_URL";
constexpr char kWebUrlVariable[] = "TAVRIN_WEB_URL";

QString fromEnvironment(const char *variable, const char *buildDefault)
{
    const QString value = qEnvironmentVariable(variable);
    return value.isEmpty() ? QString::fromUtf8(buildDefault) : value;
}

} // namespace

QString builtVersion()
{
    return QStringLiteral("%1.%2.%3").arg(TAVRIN_VERSION_MAJOR).arg(TAVRIN_VERSION_MINOR).arg(TAVRIN_VERSION_REVISION);
}

QString programDirectoryProblem(const QString &directory)
{
    if (directory.isEmpty())
        return QString::fromLatin1(kNoProgramDirectory);
    // The store hands back at most capacity - 1 characters: a value that long may be cut.
    if (directory.size() >= ProfileStore::capacityFor(QString::fromLatin1(kDirectoryFile)) - 1)
        return QString::fromLatin1(kDirectoryTooLong);
    const QString shown = QDir::toNativeSeparators(directory);
    if (!QDir::isAbsolutePath(directory))
        return QString::fromLatin1(kRelativeDirectory).arg(shown);
    // File names are appended without a separator, so without one they land beside the folder.
    if (!QDir::fromNativeSeparators(directory).endsWith(u'/'))
        return QString::fromLatin1(kNoTrailingSeparator).arg(shown, QDir::separator());
    if (!QFileInfo(directory).isDir())
        return QString::fromLatin1(kNoDirectory).arg(shown);
    const QFileInfo program(directory + QLatin1String(platform::kMainProgramFile));
    if (!program.isFile())
        return QString::fromLatin1(kNoInstalledProgram).arg(QDir::toNativeSeparators(program.filePath()));
    return {};
}

QString settingsDirectoryFrom(const QStringList &arguments)
{
    const QString option = QString::fromLatin1(kSettingsDirOption);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == option && i + 1 < arguments.size() && !arguments.at(i + 1).isEmpty())
            return QDir(arguments.at(i + 1)).absolutePath();
        if (argument.startsWith(option + u'=') && argument.size() > option.size() + 1)
            return QDir(argument.mid(option.size() + 1)).absolutePath();
    }
    return ProfileStore::defaultDirectory();
}

QString installedVersionFrom(const QStringList &arguments)
{
    const qsizetype at = arguments.indexOf(QString::fromLatin1(kInstalledVersionOption));
    const QString given = at > 0 ? arguments.value(at + 1) : QString();
    return isNewerVersion(given, builtVersion()) ? given : builtVersion();
}

bool mainProgramRunsOn(const QString &settingsDirectory)
{
    const QString path = QDir(settingsDirectory).filePath(QString::fromLatin1(kInstanceLockFile));
#ifdef Q_OS_WIN
    QLockFile lock(path);
    lock.setStaleLockTime(0);
    if (lock.tryLock(0)) {
        lock.unlock();
        return false;
    }
    // The program keeps its lock file open without letting anyone delete it; a file that can
    // be removed was left by a run that ended (perhaps on another computer).
    if (lock.error() == QLockFile::LockFailedError && QFile::exists(path)) {
        QFile::setPermissions(path, QFile::permissions(path) | QFile::WriteOwner | QFile::WriteUser);
        return !QFile::remove(path);
    }
    return lock.error() == QLockFile::LockFailedError;
#else
    // The program holds an exclusive flock(2) on the file; a shared one is refused while it runs.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd); // lets go of our shared lock at once
    return held;
#endif
}

UpdaterOptions optionsForRun(const QString &settingsDirectory)
{
    UpdaterOptions options;
    options.defaultProgramDirectory = platform::defaultProgramDirectory();
    const ProfileStore store(settingsDirectory);
    options.programDirectory = store.ReadSetting(QString::fromLatin1(kDirectoryFile),
                                                 QString::fromLatin1(kProgramDirectoryKey),
                                                 options.defaultProgramDirectory);
    options.downloadUrl = fromEnvironment(kDownloadUrlVariable, TAVRIN_DEFAULT_DOWNLOAD_URL);
    options.webUrl = fromEnvironment(kWebUrlVariable, TAVRIN_DEFAULT_WEB_URL);
    options.releaseKey = ReleaseKey::builtIn();
    options.programRunning = [settingsDirectory] { return mainProgramRunsOn(settingsDirectory); };
    if (settingsDirectory != ProfileStore::defaultDirectory())
        options.programArguments = {QString::fromLatin1(kSettingsDirOption), settingsDirectory};
    return options;
}

} // namespace tavrin::updater
