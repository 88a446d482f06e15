#include "rig/RigSettings.h"

#include <QHostAddress>

namespace tavrin::rig {

namespace {

constexpr char kTrue[] = "True";
constexpr char kFalse[] = "False";

bool readFlag(const ProfileSnapshot &s, const char *key, bool fallback)
{
    const QString t = s.ReadSetting(QString::fromLatin1(key), QString()).trimmed();
    if (t.compare(QLatin1String(kTrue), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String(kFalse), Qt::CaseInsensitive) == 0)
        return false;
    return fallback;
}

int readNumber(const ProfileSnapshot &s, const char *key, int fallback, int low, int high)
{
    bool ok = false;
    const int n = s.ReadSetting(QString::fromLatin1(key), QString()).trimmed().toInt(&ok);
    return ok && n >= low && n <= high ? n : fallback;
}

QString flagText(bool b) { return QLatin1String(b ? kTrue : kFalse); }

} // namespace

RigSettings RigSettings::load(const ProfileStore &store)
{
    const ProfileSnapshot s = store.load(QString::fromLatin1(kSettingsFile));
    RigSettings r;
    r.enabled = readFlag(s, kKeyEnabled, r.enabled);
    const QString address = s.ReadSetting(QString::fromLatin1(kKeyAddress), r.address).trimmed();
    if (!address.isEmpty())
        r.address = address;
    r.allowRemote = readFlag(s, kKeyAllowRemote, r.allowRemote);
    r.port = readNumber(s, kKeyPort, r.port, 1, 65535);
    r.allowPtt = readFlag(s, kKeyAllowPtt, r.allowPtt);
    r.pttTimeoutS = readNumber(s, kKeyPttTimeout, r.pttTimeoutS, 1, kMaxPttTimeoutS);
    return r;
}

SaveResult RigSettings::save(ProfileStore &store) const
{
    return store.writeBatch(QString::fromLatin1(kSettingsFile),
                            {{QString::fromLatin1(kKeyEnabled), flagText(enabled)},
                             {QString::fromLatin1(kKeyAddress), address},
                             {QString::fromLatin1(kKeyAllowRemote), flagText(allowRemote)},
                             {QString::fromLatin1(kKeyPort), QString::number(port)},
                             {QString::fromLatin1(kKeyAllowPtt), flagText(allowPtt)},
                             {QString::fromLatin1(kKeyPttTimeout), QString::number(pttTimeoutS)}});
}

bool isLoopback(const QString &address)
{
    const QHostAddress a(address);
    return !a.isNull() && a.isLoopback();
}

} // namespace tavrin::rig
