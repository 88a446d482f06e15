#pragma once
// Addresses of the servers the program talks to. Filled from build-time defaults and
// overridable by environment variables, so tests point them at a local server.

#include <QString>

namespace tavrin {

struct ServerAddresses {
    QString statisticsHost;
    QString versionFileUrl;
    QString downloadUrl;

    static ServerAddresses fromBuildAndEnvironment();
};

} // namespace tavrin
