#pragma once
// Which EchoLink link the program uses and how the native station is set up, kept in
// "TVRlink.ini" through the profile store. The password is never in this file: it lives
// in the desktop keychain (PasswordVault).
//
// Plain data and file access; no window.

#include "settings/ProfileStore.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tavrin {

inline constexpr char kLinkSettingsFile[] = "TVRlink.ini";

struct LinkSettings {
    enum class Backend { Simulated, EchoLink };

    // On Windows the operator's own EchoLink client is there to drive, so it is the default;
    // elsewhere the simulated link is, until a callsign is set up.
#ifdef Q_OS_WIN
    static constexpr Backend kDefaultBackend = Backend::EchoLink;
#else
    static constexpr Backend kDefaultBackend = Backend::Simulated;
#endif
    Backend backend = kDefaultBackend;
    QString callsign;             // upper case
    QString name;
    QString location;
    QStringList directoryServers; // "host" or "host:port"; defaults when the file has none
    int portBase = kDefaultPortBase;
    QString audioInput;           // device id; empty: the default device
    QString audioOutput;
    // The local address the station binds; empty: every address. Only in the file (no field in
    // the window): for a machine that must keep the EchoLink ports on one interface.
    QString bindAddress;
    // What load() found in the file and could not use, worded for the user (each such value
    // is at its default); empty when all was well.
    QString problem;

    static QStringList defaultDirectoryServers();

    // The rules load() applies to the file and the window applies to what is typed.
    static constexpr int kMinPortBase = 1024;
    static constexpr int kMaxPortBase = 65534; // the control port is portBase + 1
    static constexpr int kDefaultPortBase = 5198;
    static constexpr int kMaxCallsignLength = 16; // any amateur callsign with a suffix
    static bool isValidCallsign(const QString &callsign); // letters, digits, "-" and "/"
    static bool isValidPortBase(int portBase);
    // "host" or "host:port" entries separated by commas; blanks around entries are
    // dropped. Nothing when an entry is malformed; an empty list when there is no entry.
    static std::optional<QStringList> parseServers(const QString &text);

    // The native station runs only when chosen and a callsign is set; otherwise the
    // simulated link stays.
    bool usesNativeLink() const { return backend == Backend::EchoLink && !callsign.trimmed().isEmpty(); }

    static LinkSettings load(const ProfileStore &store);
    SaveResult save(ProfileStore &store) const;
};

} // namespace tavrin
