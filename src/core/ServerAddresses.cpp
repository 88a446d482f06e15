#include "core/ServerAddresses.h"

#include <QtGlobal>

namespace tavrin {

namespace {

// Build-time defaults, kept in one place until the build passes its own.
constexpr char kDefaultStatisticsHost[] = "stats.tavrin.example";
constexpr char kDefaultVersionFileUrl[] = "http://update.tavrin.example/tavrin/VersionTV.txt";
constexpr char kDefaultDownloadUrl[] = "http://update.tavrin.example/tavrin/Tavrin.exe";

QString fromEnvironment(const char *name, const char *fallback)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? QString::fromLatin1(fallback) : value;
}

} // namespace

ServerAddresses ServerAddresses::fromBuildAndEnvironment()
{
    ServerAddresses a;
    a.statisticsHost = fromEnvironment("TAVRIN_STATS_HOST", kDefaultStatisticsHost);
    a.versionFileUrl = fromEnvironment("TAVRIN_VERSION_URL", kDefaultVersionFileUrl);
    a.downloadUrl = fromEnvironment("TAVRIN_DOWNLOAD_URL", kDefaultDownloadUrl);
    return a;
}

} // namespace tavrin
