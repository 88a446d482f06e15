#include "rig/RigSettings.h"

#include <QDir>
#include <QHostAddress>
#include <QStringList>

namespace tavrin::rig {

namespace {

constexpr char kTrue[] = "True";
constexpr char kFalse[] = "False";

// A value written by hand that cannot be used takes the default and is listed in `unusable`:
// "Enabled=yes" must not leave the server off without a word.
bool readFlag(const ProfileSnapshot &s, const char *key, bool fallback, QStringList &unusable)
{
    const QString t = s.ReadSetting(QString::fromLatin1(key), QString()).trimmed();
    if (t.compare(QLatin1String(kTrue), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String(kFalse), Qt::CaseInsensitive) == 0)
        return false;
    if (!t.isEmpty())
        unusable << QStringLiteral("%1 \"%2\" (True or False)").arg(QLatin1String(key), t);
    return fallback;
}

int readNumber(const ProfileSnapshot &s, const char *key, int fallback, int low, int high, QStringList &unusable)
{
    bool ok = false;
    const QString t = s.ReadSetting(QString::fromLatin1(key), QString()).trimmed();
    const int n = t.toInt(&ok);
    if (ok && n >= low && n <= high)
        return n;
    if (!t.isEmpty())
        unusable << QStringLiteral("%1 \"%2\" (a whole number from %3 to %4)")
                        .arg(QLatin1String(key), t, QString::number(low), QString::number(high));
    return fallback;
}

QString flagText(bool b) { return QLatin1String(b ? kTrue : kFalse); }

} // namespace

RigSettings RigSettings::load(const ProfileStore &store)
{
    const ProfileSnapshot s = store.load(QString::fromLatin1(kSettingsFile));
    RigSettings r;
    QStringList unusable;
    r.enabled = readFlag(s, kKeyEnabled, r.enabled, unusable);
    const QString address = s.ReadSetting(QString::fromLatin1(kKeyAddress), r.address).trimmed();
    if (!address.isEmpty())
        r.address = address;
    r.allowRemote = readFlag(s, kKeyAllowRemote, r.allowRemote, unusable);
    r.port = readNumber(s, kKeyPort, r.port, 1, 65535, unusable);
    r.allowPtt = readFlag(s, kKeyAllowPtt, r.allowPtt, unusable);
    r.pttTimeoutS = readNumber(s, kKeyPttTimeout, r.pttTimeoutS, 1, kMaxPttTimeoutS, unusable);
    if (!unusable.isEmpty())
        r.problem = QStringLiteral("In the settings file \"%1\", these values could not be used and their defaults "
                                   "are in use: %2.")
                        .arg(QDir::toNativeSeparators(store.pathOf(QString::fromLatin1(kSettingsFile))),
                             unusable.join(QStringLiteral(", ")));
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
