#pragma once
// The rig server's settings file "TVRrig.ini" (section SETTINGS). Off by default, loopback
// only by default: another address is used only with AllowRemote set as well.

#include "settings/ProfileStore.h"

#include <QString>

namespace tavrin::rig {

inline constexpr char kSettingsFile[] = "TVRrig.ini";
inline constexpr char kKeyEnabled[] = "Enabled";
inline constexpr char kKeyAddress[] = "Address";
inline constexpr char kKeyAllowRemote[] = "AllowRemote";
inline constexpr char kKeyPort[] = "Port";
inline constexpr char kKeyAllowPtt[] = "AllowPTT";
inline constexpr char kKeyPttTimeout[] = "PTTTimeout";

inline constexpr char kLoopbackAddress[] = "127.0.0.1";
inline constexpr int kDefaultPort = 4532;
inline constexpr int kDefaultPttTimeoutS = 180;
inline constexpr int kMaxPttTimeoutS = 3600;

struct RigSettings {
    bool enabled = false;
    QString address = QString::fromLatin1(kLoopbackAddress);
    bool allowRemote = false;
    int port = kDefaultPort;
    bool allowPtt = false;
    int pttTimeoutS = kDefaultPttTimeoutS;
    // What load() found in the file and could not use, worded for the user; not a setting.
    QString problem;

    // Unreadable values fall back to their defaults, and problem names them.
    static RigSettings load(const ProfileStore &store);
    SaveResult save(ProfileStore &store) const;

    bool operator==(const RigSettings &other) const
    {
        return enabled == other.enabled && address == other.address && allowRemote == other.allowRemote
            && port == other.port && allowPtt == other.allowPtt && pttTimeoutS == other.pttTimeoutS;
    }
};

// True for 127.0.0.0/8 and ::1.
bool isLoopback(const QString &address);

} // namespace tavrin::rig
