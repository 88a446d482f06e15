#pragma once
// Which EchoLink link the program uses and how the native station is set up, kept in
// "TVRlink.ini" through the profile store. The password is never in this file: it lives
// in the desktop keychain (PasswordVault).
//
// Plain data and file access; no window.

#include "settings/ProfileStore.h"

#include <QString>
#include <QStringList>

namespace tavrin {

inline constexpr char kLinkSettingsFile[] = "TVRlink.ini";

struct LinkSettings {
    enum class Backend { Simulated, EchoLink };

    Backend backend = Backend::Simulated;
    QString callsign;             // upper case
    QString name;
    QString location;
    QStringList directoryServers; // "host" or "host:port"; defaults when the file has none
    int portBase = 5198;
    QString audioInput;           // device id; empty: the default device
    QString audioOutput;

    static QStringList defaultDirectoryServers();

    // The native station runs only when chosen and a callsign is set; otherwise the
    // simulated link stays.
    bool usesNativeLink() const { return backend == Backend::EchoLink && !callsign.trimmed().isEmpty(); }

    static LinkSettings load(const ProfileStore &store);
    SaveResult save(ProfileStore &store) const;
};

} // namespace tavrin
