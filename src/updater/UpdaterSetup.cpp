#include "updater/UpdaterSetup.h"

#include "BuildConfig.h"
#include "common/PlatformNames.h"
#include "settings/ProfileStore.h"
#include "updater/ReleaseKey.h"
#include "updater/UpdaterTexts.h"

#include <QDir>
#include <QtGlobal>

namespace tavrin::updater {

namespace {

constexpr char kSettingsDirOption[] = "--settings-dir";
// Same variables as the main program's server addresses, so one setting steers both.
constexpr char kDownloadUrlVariable[] = "TAVRIN_DOWNLOAD_URL";
constexpr char kWebUrlVariable[] = "TAVRIN_WEB_URL";

QString fromEnvironment(const char *variable, const char *buildDefault)
{
    const QString value = qEnvironmentVariable(variable);
    return value.isEmpty() ? QString::fromUtf8(buildDefault) : value;
}

} // namespace

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
    if (settingsDirectory != ProfileStore::defaultDirectory())
        options.programArguments = {QString::fromLatin1(kSettingsDirOption), settingsDirectory};
    return options;
}

} // namespace tavrin::updater
