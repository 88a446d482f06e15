#include "settings/LinkSettings.h"

#include <QDir>
#include <QRegularExpression>

namespace tavrin {

namespace {

// "TVRlink.ini", section [SETTINGS] like every other file of the store.
constexpr char kKeyBackend[] = "Backend";
constexpr char kKeyCallsign[] = "Callsign";
constexpr char kKeyName[] = "Name";
constexpr char kKeyLocation[] = "Location";
constexpr char kKeyServers[] = "Servers";
constexpr char kKeyPortBase[] = "PortBase";
constexpr char kKeyAudioInput[] = "AudioInput";
constexpr char kKeyAudioOutput[] = "AudioOutput";
constexpr char kKeyBindAddress[] = "BindAddress"; // read only: save() leaves a hand-written one alone

constexpr char kBackendSimulated[] = "Simulated";
constexpr char kBackendEchoLink[] = "EchoLink";

constexpr char kServerSeparator = ',';
constexpr char kDefaultServer1[] = "servers.echolink.org";
constexpr char kDefaultServer2[] = "backup.echolink.org";

QString key(const char *name) { return QString::fromLatin1(name); }

bool isValidServer(const QString &entry)
{
    static const QRegularExpression hostPort(QStringLiteral("^([A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?)(:(\\d{1,5}))?$"));
    const QRegularExpressionMatch m = hostPort.match(entry);
    if (!m.hasMatch())
        return false;
    if (m.capturedLength(4) == 0)
        return true;
    const int port = m.captured(4).toInt();
    return port >= 1 && port <= 65535;
}

} // namespace

QStringList LinkSettings::defaultDirectoryServers()
{
    return {QString::fromLatin1(kDefaultServer1), QString::fromLatin1(kDefaultServer2)};
}

bool LinkSettings::isValidCallsign(const QString &callsign)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9/-]+$"));
    return callsign.size() <= kMaxCallsignLength && pattern.match(callsign).hasMatch();
}

bool LinkSettings::isValidPortBase(int portBase)
{
    return portBase >= kMinPortBase && portBase <= kMaxPortBase;
}

std::optional<QStringList> LinkSettings::parseServers(const QString &text)
{
    QStringList servers;
    for (const QString &part : text.split(QLatin1Char(kServerSeparator))) {
        const QString entry = part.trimmed();
        if (entry.isEmpty())
            continue;
        if (!isValidServer(entry))
            return std::nullopt;
        servers << entry;
    }
    return servers;
}

LinkSettings LinkSettings::load(const ProfileStore &store)
{
    const ProfileSnapshot file = store.load(QString::fromLatin1(kLinkSettingsFile));
    LinkSettings s;
    // A value written by hand that cannot be used must not simply vanish: a callsign with a
    // typo would leave the station on the simulated link without a word.
    QStringList unusable;
    const auto refuse = [&](const char *name, const QString &value, const char *rule) {
        unusable << QStringLiteral("%1 \"%2\" (%3)").arg(key(name), value, QLatin1String(rule));
    };

    const QString backend = file.ReadSetting(key(kKeyBackend), QString());
    if (backend.compare(QLatin1String(kBackendEchoLink), Qt::CaseInsensitive) == 0) {
        s.backend = Backend::EchoLink;
    } else if (backend.compare(QLatin1String(kBackendSimulated), Qt::CaseInsensitive) == 0) {
        s.backend = Backend::Simulated;
    } else {
        s.backend = kDefaultBackend;
        if (!backend.trimmed().isEmpty())
            refuse(kKeyBackend, backend, "EchoLink or Simulated");
    }

    const QString callsign = file.ReadSetting(key(kKeyCallsign), {}).trimmed();
    if (isValidCallsign(callsign))
        s.callsign = callsign.toUpper();
    else if (!callsign.isEmpty())
        refuse(kKeyCallsign, callsign, "letters, digits, \"-\" and \"/\", at most 16");

    s.name = file.ReadSetting(key(kKeyName), {});
    s.location = file.ReadSetting(key(kKeyLocation), {});

    // A list with a bad entry is not trusted at all: half a list would quietly skip the
    // server the operator meant.
    const QString serverText = file.ReadSetting(key(kKeyServers), {});
    const std::optional<QStringList> servers = parseServers(serverText);
    s.directoryServers = servers && !servers->isEmpty() ? *servers : defaultDirectoryServers();
    if (!servers)
        refuse(kKeyServers, serverText, "host or host:port, separated by commas");

    bool numeric = false;
    const QString portText = file.ReadSetting(key(kKeyPortBase), {}).trimmed();
    const int portBase = portText.toInt(&numeric);
    s.portBase = numeric && isValidPortBase(portBase) ? portBase : kDefaultPortBase;
    if (!portText.isEmpty() && s.portBase != portBase)
        refuse(kKeyPortBase, portText, "a whole number from 1024 to 65534");

    s.audioInput = file.ReadSetting(key(kKeyAudioInput), {});
    s.audioOutput = file.ReadSetting(key(kKeyAudioOutput), {});
    // The station checks the address when it starts and says so when it is not one.
    s.bindAddress = file.ReadSetting(key(kKeyBindAddress), {}).trimmed();
    if (!unusable.isEmpty())
        s.problem = QStringLiteral("In the settings file \"%1\", these values could not be used and their defaults "
                                   "are in use: %2.")
                        .arg(QDir::toNativeSeparators(store.pathOf(QString::fromLatin1(kLinkSettingsFile))),
                             unusable.join(QStringLiteral(", ")));
    return s;
}

SaveResult LinkSettings::save(ProfileStore &store) const
{
    // The password has no key here on purpose: it lives in the keychain only.
    const KeyValues values{
        {key(kKeyBackend), QString::fromLatin1(backend == Backend::EchoLink ? kBackendEchoLink : kBackendSimulated)},
        {key(kKeyCallsign), callsign.trimmed().toUpper()},
        {key(kKeyName), name},
        {key(kKeyLocation), location},
        {key(kKeyServers), directoryServers.join(QLatin1Char(kServerSeparator))},
        {key(kKeyPortBase), QString::number(portBase)},
        {key(kKeyAudioInput), audioInput},
        {key(kKeyAudioOutput), audioOutput},
    };
    return store.writeBatch(QString::fromLatin1(kLinkSettingsFile), values);
}

} // namespace tavrin
