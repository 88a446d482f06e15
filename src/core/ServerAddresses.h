#pragma once
// Addresses of the servers the program talks to, in one place. The build sets the defaults
// (CMake cache variables of the same names as the environment variables below); each
// environment variable, when set and not empty, overrides its default at run time, so tests
// and bench runs point them at loopback.

#include <QString>

namespace tavrin {

struct ServerAddresses {
    static constexpr char kStatisticsHostVariable[] = "TAVRIN_STATS_HOST";
    static constexpr char kVersionFileUrlVariable[] = "TAVRIN_VERSION_URL";
    static constexpr char kDownloadUrlVariable[] = "TAVRIN_DOWNLOAD_URL";
    static constexpr char kWebUrlVariable[] = "TAVRIN_WEB_URL";
    static constexpr char kMailAddressVariable[] = "TAVRIN_MAIL_ADDRESS";

    QString statisticsHost; // host name, optionally ":port"; empty: no statistics report
    QString versionFileUrl;
    QString downloadUrl;
    QString webUrl;         // the makers' web page
    QString mailAddress;    // the makers' mail address (no "mailto:")

    // The build's defaults alone.
    static ServerAddresses buildDefaults();
    // The build's defaults with the environment's overrides.
    static ServerAddresses fromBuildAndEnvironment();
};

} // namespace tavrin
