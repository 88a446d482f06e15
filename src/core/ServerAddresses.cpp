#include "core/ServerAddresses.h"

#include "BuildConfig.h"

#include <QtGlobal>

namespace tavrin {

namespace {

void override(QString &value, const char *variable)
{
    const QString fromEnvironment = qEnvironmentVariable(variable);
    if (!fromEnvironment.isEmpty())
        value = fromEnvironment;
}

} // namespace

ServerAddresses ServerAddresses::buildDefaults()
{
    ServerAddresses a;
    a.statisticsHost = QStringLiteral(TAVRIN_DEFAULT_STATS_HOST);
    a.versionFileUrl = QStringLiteral(TAVRIN_DEFAULT_VERSION_URL);
    a.downloadUrl = QStringLiteral(TAVRIN_DEFAULT_DOWNLOAD_URL);
    a.webUrl = QStringLiteral(TAVRIN_DEFAULT_WEB_URL);
    a.mailAddress = QStringLiteral(TAVRIN_DEFAULT_MAIL_ADDRESS);
    return a;
}

ServerAddresses ServerAddresses::fromBuildAndEnvironment()
{
    ServerAddresses a = buildDefaults();
    override(a.statisticsHost, kStatisticsHostVariable);
    override(a.versionFileUrl, kVersionFileUrlVariable);
    override(a.downloadUrl, kDownloadUrlVariable);
    override(a.webUrl, kWebUrlVariable);
    override(a.mailAddress, kMailAddressVariable);
    return a;
}

} // namespace tavrin
