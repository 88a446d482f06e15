#include "node/NodeConfig.h"

#include "common/TextDecoding.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QHostAddress>
#include <QRegularExpression>
#include <QSet>

#include <sys/stat.h>

#include <cmath>

namespace tavrin::node {

namespace {

// Every key the file may hold; anything else is a typo worth saying.
const QStringList kKnownKeys = {
    QStringLiteral("station/callsign"),   QStringLiteral("station/name"),
    QStringLiteral("station/location"),   QStringLiteral("station/password_file"),
    QStringLiteral("directory/servers"),  QStringLiteral("directory/port_base"),
    QStringLiteral("directory/bind_address"),
    QStringLiteral("rig/model"),          QStringLiteral("rig/port"),
    QStringLiteral("rig/speed"),          QStringLiteral("rig/timeout_ms"),
    QStringLiteral("rig/poll_interval_s"),
    QStringLiteral("audio/output"),       QStringLiteral("audio/input"),
    QStringLiteral("squelch/threshold_db"), QStringLiteral("squelch/hang_ms"),
    QStringLiteral("limits/ranges"),      QStringLiteral("limits/transmit_timeout_s"),
    QStringLiteral("access/allow"),       QStringLiteral("access/listeners"),
};

constexpr int kNetRigctlModel = 2;
constexpr int kMaxField = 256;

QString describeKey(const QString &key)
{
    const qsizetype slash = key.indexOf(QLatin1Char('/'));
    return slash < 0 ? key : QStringLiteral("[%1] %2").arg(key.left(slash), key.mid(slash + 1));
}

// An EchoLink callsign: letters and digits, with -L or -R for a link or repeater station.
bool isCallsign(const QString &call, bool nodeSuffixRequired)
{
    static const QRegularExpression node(QStringLiteral("^[A-Z0-9]{3,8}-[LR]$"));
    static const QRegularExpression any(QStringLiteral("^[A-Z0-9]{3,8}(-[LR])?$"));
    return (nodeSuffixRequired ? node : any).match(call).hasMatch();
}

// Values taken as written, whole: the station's texts and the password file's path. The others
// are numbers, callsigns, addresses and device names, with no use for ';' or '"', and are read
// as they always were: a ';' starts a comment there and quotes are dropped, so
// "model=3073 ; IC-7300" still names the rig.
const QStringList kTextKeys = {
    QStringLiteral("station/name"),
    QStringLiteral("station/location"),
    QStringLiteral("station/password_file"),
};
// Long lists may go on over several lines, each but the last ending in a backslash.
const QStringList kContinuedKeys = {
    QStringLiteral("directory/servers"), QStringLiteral("limits/ranges"), QStringLiteral("access/allow"),
};

// Nothing a station's configuration needs comes near this; a larger file is some other file.
constexpr qint64 kMaxFileBytes = 1024 * 1024;
// How much of a line that is no setting its message shows.
constexpr int kShownLine = 60;

struct Setting {
    QString value; // as written, blanks at either end taken off
    int line = 0;
};

// The file as its administrator wrote it by hand: "[section]" lines, "key=value" lines under
// them and whole-line comments starting with ';' or '#'. A line is UTF-8, or Windows-1252
// (of which Latin-1 is part) when it is not valid UTF-8, so an old editor's "Köln" reads as
// "Köln". Names are matched as written, blanks around them aside; the spellings the file
// always took stay valid: keys above the first section or under [General] belong to no
// section, where "station\callsign" names [station] callsign, and %XX stands for a byte.
// Every line that is none of these, and every key given twice, is an error: nothing in the
// file is passed over without a word.
class IniFile {
public:
    IniFile(const QByteArray &content, QStringList &errors) { parse(content, errors); }

    const Setting *find(const QString &key) const
    {
        const auto it = settings_.constFind(key);
        return it == settings_.cend() ? nullptr : &it.value();
    }
    bool contains(const QString &key) const { return settings_.contains(key); }
    const QStringList &keys() const { return keys_; } // in the file's order

private:
    static QString name(QString text)
    {
        text = text.trimmed();
        if (text.contains(QLatin1Char('%')))
            text = QString::fromUtf8(QByteArray::fromPercentEncoding(text.toUtf8()));
        return text.replace(QLatin1Char('\\'), QLatin1Char('/'));
    }

    static QString shown(const QString &line)
    {
        return line.size() > kShownLine ? line.left(kShownLine) + QStringLiteral("...") : line;
    }

    void parse(QByteArray content, QStringList &errors)
    {
        if (content.startsWith("\xFF\xFE") || content.startsWith("\xFE\xFF")) {
            errors << QStringLiteral("the file is in UTF-16: save it as UTF-8");
            return;
        }
        if (content.startsWith("\xEF\xBB\xBF"))
            content.remove(0, 3);
        content.replace("\r\n", "\n");
        content.replace('\r', '\n');
        const QList<QByteArray> lines = content.split('\n');
        QString section;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const int number = int(i + 1);
            const QString line = decodeUtf8OrWindows1252(lines.at(i)).trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
                continue;
            if (line.startsWith(QLatin1Char('['))) {
                const qsizetype close = line.indexOf(QLatin1Char(']'));
                const QString rest = close < 0 ? QString() : line.mid(close + 1).trimmed();
                section = close < 0 ? QString() : name(line.mid(1, close - 1));
                if (close < 0)
                    errors << QStringLiteral("line %1: \"%2\" lacks its closing ]").arg(number).arg(shown(line));
                else if (!rest.isEmpty() && !rest.startsWith(QLatin1Char(';')) && !rest.startsWith(QLatin1Char('#')))
                    errors << QStringLiteral("line %1: \"%2\" after [%3]: a section line holds the section's name only")
                                  .arg(number)
                                  .arg(shown(rest), section);
                else if (section.isEmpty())
                    errors << QStringLiteral("line %1: [] names no section").arg(number);
                if (section.compare(QLatin1String("general"), Qt::CaseInsensitive) == 0)
                    section.clear();
                continue;
            }
            const qsizetype equals = line.indexOf(QLatin1Char('='));
            const QString key = equals < 0 ? QString() : name(line.left(equals));
            if (key.isEmpty()) {
                errors << QStringLiteral("line %1: \"%2\" is not a setting: write key=value under its [section]")
                              .arg(number)
                              .arg(shown(line));
                continue;
            }
            const QString path = section.isEmpty() ? key : section + QLatin1Char('/') + key;
            QString value = line.mid(equals + 1).trimmed();
            while (kContinuedKeys.contains(path) && value.endsWith(QLatin1Char('\\')) && i + 1 < lines.size()) {
                value.chop(1);
                value += decodeUtf8OrWindows1252(lines.at(++i)).trimmed();
            }
            if (const Setting *first = find(path)) {
                errors << QStringLiteral("%1 is given twice, on lines %2 and %3: remove one")
                              .arg(describeKey(path))
                              .arg(first->line)
                              .arg(number);
                continue;
            }
            settings_.insert(path, {value, number});
            keys_ << path;
        }
    }

    QHash<QString, Setting> settings_;
    QStringList keys_;
};

bool isQuote(QChar c)
{
    return c == QLatin1Char('"') || c == QLatin1Char('\'');
}

class Reader {
public:
    Reader(const IniFile &ini, QStringList &errors) : ini_(ini), errors_(errors) {}

    bool contains(const QString &key) const { return ini_.contains(key); }

    QString text(const QString &key, const QString &fallback = {})
    {
        const Setting *setting = ini_.find(key);
        if (!setting)
            return fallback;
        QString t = setting->value;
        if (kTextKeys.contains(key)) {
            // In quotes, as people write text by hand: the text between them.
            if (t.size() >= 2 && isQuote(t.front()) && t.back() == t.front())
                t = t.mid(1, t.size() - 2);
        } else {
            t = t.section(QLatin1Char(';'), 0, 0).remove(QLatin1Char('"')).trimmed();
        }
        if (t.size() > kMaxField) {
            fail(key, QStringLiteral("is longer than %1 characters").arg(kMaxField));
            return fallback;
        }
        return t;
    }

    int integer(const QString &key, int fallback, int lowest, int highest)
    {
        if (!contains(key))
            return fallback;
        bool ok = false;
        const QString t = text(key);
        const int n = t.toInt(&ok);
        if (!ok || n < lowest || n > highest) {
            fail(key, QStringLiteral("\"%1\" is not a whole number from %2 to %3").arg(t).arg(lowest).arg(highest));
            return fallback;
        }
        return n;
    }

    bool boolean(const QString &key, bool fallback)
    {
        if (!contains(key))
            return fallback;
        const QString t = text(key).toLower();
        if (t == QLatin1String("true") || t == QLatin1String("yes") || t == QLatin1String("1"))
            return true;
        if (t == QLatin1String("false") || t == QLatin1String("no") || t == QLatin1String("0"))
            return false;
        fail(key, QStringLiteral("\"%1\" is not true or false").arg(t));
        return fallback;
    }

    QStringList list(const QString &key, const QStringList &fallback)
    {
        if (!contains(key))
            return fallback;
        QStringList out;
        for (const QString &item : text(key).split(QLatin1Char(','), Qt::SkipEmptyParts))
            if (!item.trimmed().isEmpty())
                out << item.trimmed();
        return out;
    }

    void fail(const QString &key, const QString &problem) { errors_ << describeKey(key) + QLatin1Char(' ') + problem; }

private:
    const IniFile &ini_;
    QStringList &errors_;
};

bool isServer(const QString &server)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z0-9.-]+(:[0-9]{1,5})?$"));
    if (!re.match(server).hasMatch())
        return false;
    const qsizetype colon = server.indexOf(QLatin1Char(':'));
    return colon < 0 || (server.mid(colon + 1).toInt() >= 1 && server.mid(colon + 1).toInt() <= 65535);
}

} // namespace

FrequencyRanges FrequencyRanges::iaruRegion1Hf()
{
    return FrequencyRanges({{1810000, 2000000},
                            {3500000, 3800000},
                            {5351500, 5366500},
                            {7000000, 7200000},
                            {10100000, 10150000},
                            {14000000, 14350000},
                            {18068000, 18168000},
                            {21000000, 21450000},
                            {24890000, 24990000},
                            {28000000, 29700000}});
}

std::optional<FrequencyRanges> FrequencyRanges::parse(const QString &text, QString *error)
{
    static const QRegularExpression range(QStringLiteral("^\\s*(\\d{1,5}(?:\\.\\d{1,6})?)\\s*-\\s*(\\d{1,5}(?:\\.\\d{1,6})?)\\s*$"));
    std::vector<std::pair<qint64, qint64>> out;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = range.match(part);
        if (!m.hasMatch()) {
            *error = QStringLiteral("\"%1\" is not a range in MHz such as 14.000-14.350").arg(part.trimmed());
            return std::nullopt;
        }
        const qint64 low = std::llround(m.captured(1).toDouble() * 1e6);
        const qint64 high = std::llround(m.captured(2).toDouble() * 1e6);
        if (low <= 0 || high < low) {
            *error = QStringLiteral("\"%1\" ends below its start").arg(part.trimmed());
            return std::nullopt;
        }
        out.emplace_back(low, high);
    }
    if (out.empty()) {
        *error = QStringLiteral("names no range");
        return std::nullopt;
    }
    return FrequencyRanges(std::move(out));
}

bool FrequencyRanges::contains(qint64 hz) const
{
    for (const auto &[low, high] : ranges_)
        if (hz >= low && hz <= high)
            return true;
    return false;
}

QString FrequencyRanges::toText() const
{
    QStringList parts;
    for (const auto &[low, high] : ranges_)
        parts << QStringLiteral("%1-%2").arg(double(low) / 1e6, 0, 'f', 4).arg(double(high) / 1e6, 0, 'f', 4);
    return parts.join(QStringLiteral(", "));
}

ConfigResult loadConfig(const QString &path)
{
    ConfigResult result;
    NodeConfig &c = result.config;
    QStringList &errors = result.errors;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        errors << QStringLiteral("%1: cannot read the configuration: %2").arg(path, file.errorString());
        return result;
    }
    const QByteArray content = file.read(kMaxFileBytes + 1);
    if (content.size() > kMaxFileBytes) {
        errors << QStringLiteral("%1 is larger than %2 MB: not a configuration file").arg(path).arg(kMaxFileBytes / (1024 * 1024));
        return result;
    }
    file.close();
    // The file says who may key the transmitter and which rig to drive: a file any user of
    // the computer may change would hand them both.
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && (st.st_mode & S_IWOTH))
        errors << QStringLiteral("%1 can be changed by any user of this computer (mode %2): refused; run chmod o-w %1")
                      .arg(path)
                      .arg(QString::number(st.st_mode & 0777, 8));
    const IniFile ini(content, errors);
    for (const QString &key : ini.keys()) {
        if (key.endsWith(QLatin1String("password"), Qt::CaseInsensitive))
            errors << QStringLiteral("%1 is refused: the password never goes in this file; use password_file or %2")
                          .arg(describeKey(key), QLatin1String(kPasswordFileVariable));
        else if (kKnownKeys.contains(key, Qt::CaseSensitive))
            continue;
        else if (kKnownKeys.contains(key, Qt::CaseInsensitive))
            errors << QStringLiteral("%1 is not a setting tavrin-node knows: sections and keys are lower case, %2")
                          .arg(describeKey(key), describeKey(key.toLower()));
        else if (!key.contains(QLatin1Char('/')))
            errors << QStringLiteral("%1 is not a setting tavrin-node knows: every setting goes under its [section]").arg(key);
        else
            errors << QStringLiteral("%1 is not a setting tavrin-node knows").arg(describeKey(key));
    }

    Reader r(ini, errors);

    c.callsign = r.text(QStringLiteral("station/callsign")).toUpper();
    if (c.callsign.isEmpty())
        r.fail(QStringLiteral("station/callsign"), QStringLiteral("is missing: the node's callsign, e.g. XX9ABC-L"));
    else if (!isCallsign(c.callsign, true))
        r.fail(QStringLiteral("station/callsign"),
               QStringLiteral("\"%1\" is not a link or repeater callsign (ending in -L or -R)").arg(c.callsign));
    c.name = r.text(QStringLiteral("station/name"));
    c.location = r.text(QStringLiteral("station/location"));
    c.passwordFile = r.text(QStringLiteral("station/password_file"));

    c.directoryServers = r.list(QStringLiteral("directory/servers"), c.directoryServers);
    if (c.directoryServers.isEmpty())
        r.fail(QStringLiteral("directory/servers"), QStringLiteral("names no server"));
    for (const QString &s : c.directoryServers)
        if (!isServer(s))
            r.fail(QStringLiteral("directory/servers"), QStringLiteral("\"%1\" is not host or host:port").arg(s));
    c.portBase = r.integer(QStringLiteral("directory/port_base"), c.portBase, 1024, 65534);
    c.bindAddress = r.text(QStringLiteral("directory/bind_address"));
    if (!c.bindAddress.isEmpty() && QHostAddress(c.bindAddress).protocol() != QAbstractSocket::IPv4Protocol)
        r.fail(QStringLiteral("directory/bind_address"), QStringLiteral("\"%1\" is not an IPv4 address").arg(c.bindAddress));

    if (!r.contains(QStringLiteral("rig/model")))
        r.fail(QStringLiteral("rig/model"), QStringLiteral("is missing: the Hamlib rig model number (rigctl --list)"));
    else
        c.rigModel = r.integer(QStringLiteral("rig/model"), 0, 1, 999999);
    c.rigPort = r.text(QStringLiteral("rig/port"));
    if (c.rigModel == kNetRigctlModel && !c.rigPort.isEmpty() && !isServer(c.rigPort))
        r.fail(QStringLiteral("rig/port"), QStringLiteral("\"%1\" is not host:port of a rigctld").arg(c.rigPort));
    else if (c.rigModel > kNetRigctlModel && c.rigPort.isEmpty())
        r.fail(QStringLiteral("rig/port"), QStringLiteral("is missing: the rig's serial device, e.g. /dev/ttyUSB0"));
    c.serialSpeed = r.integer(QStringLiteral("rig/speed"), 0, 300, 115200 * 8);
    c.rigTimeoutMs = r.integer(QStringLiteral("rig/timeout_ms"), c.rigTimeoutMs, 100, 60000);
    c.pollIntervalMs = r.integer(QStringLiteral("rig/poll_interval_s"), c.pollIntervalMs / 1000, 1, 3600) * 1000;

    c.audioOutput = r.text(QStringLiteral("audio/output"));
    c.audioInput = r.text(QStringLiteral("audio/input"), c.audioInput);
    if (c.audioInput.isEmpty())
        r.fail(QStringLiteral("audio/input"), QStringLiteral("is empty: name the rig's audio source, or none"));
    c.squelchThresholdDb = r.integer(QStringLiteral("squelch/threshold_db"), c.squelchThresholdDb, -90, 0);
    c.squelchHangMs = r.integer(QStringLiteral("squelch/hang_ms"), c.squelchHangMs, 0, 10000);

    if (r.contains(QStringLiteral("limits/ranges"))) {
        QString why;
        if (auto ranges = FrequencyRanges::parse(r.text(QStringLiteral("limits/ranges")), &why))
            c.ranges = *ranges;
        else
            r.fail(QStringLiteral("limits/ranges"), why);
    }
    c.transmitTimeoutMs = r.integer(QStringLiteral("limits/transmit_timeout_s"), c.transmitTimeoutMs / 1000, 1, 3600) * 1000;

    for (const QString &call : r.list(QStringLiteral("access/allow"), {})) {
        if (isCallsign(call.toUpper(), false))
            c.allow << call.toUpper();
        else
            r.fail(QStringLiteral("access/allow"), QStringLiteral("\"%1\" is not a callsign").arg(call));
    }
    if (c.allow.isEmpty() && !r.contains(QStringLiteral("access/allow")))
        r.fail(QStringLiteral("access/allow"), QStringLiteral("is missing: the callsigns that may control the rig"));
    c.listeners = r.boolean(QStringLiteral("access/listeners"), c.listeners);

    const QString pwFile = passwordFilePath(c);
    if (pwFile.isEmpty()) {
        errors << QStringLiteral("no password file: set %1 or [station] password_file").arg(QLatin1String(kPasswordFileVariable));
    } else {
        QString why;
        if (!readPasswordFile(pwFile, &why))
            errors << why;
    }
    return result;
}

QString passwordFilePath(const NodeConfig &config)
{
    const QString fromEnvironment = qEnvironmentVariable(kPasswordFileVariable);
    return fromEnvironment.isEmpty() ? config.passwordFile : fromEnvironment;
}

std::optional<QString> readPasswordFile(const QString &path, QString *error)
{
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = QStringLiteral("password file %1 does not exist or is not a file").arg(path);
        return std::nullopt;
    }
    if (st.st_mode & (S_IRWXG | S_IRWXO)) {
        *error = QStringLiteral("password file %1 can be read by others (mode %2): refused; run chmod 600 %1")
                     .arg(path)
                     .arg(QString::number(st.st_mode & 0777, 8));
        return std::nullopt;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("password file %1: %2").arg(path, f.errorString());
        return std::nullopt;
    }
    const QString password = QString::fromUtf8(f.read(kMaxField + 1)).section(QLatin1Char('\n'), 0, 0).trimmed();
    if (password.isEmpty()) {
        *error = QStringLiteral("password file %1 holds no password").arg(path);
        return std::nullopt;
    }
    return password;
}

} // namespace tavrin::node
