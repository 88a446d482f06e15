#include "rig/RigProtocol.h"

#include "protocol/RemoteProtocol.h"

#include "BuildConfig.h"

#include <array>
#include <utility>

namespace tavrin::rig {

namespace {

struct Entry {
    char shortName; // 0: long form only
    const char *longName;
    Command command;
    int minArgs;
    int maxArgs;
};

constexpr std::array<Entry, 16> kCommands{{
    {'f', "get_freq", Command::GetFreq, 0, 0},
    {'F', "set_freq", Command::SetFreq, 1, 1},
    {'m', "get_mode", Command::GetMode, 0, 0},
    {'M', "set_mode", Command::SetMode, 1, 2},
    {'t', "get_ptt", Command::GetPtt, 0, 0},
    {'T', "set_ptt", Command::SetPtt, 1, 1},
    {'v', "get_vfo", Command::GetVfo, 0, 0},
    {'V', "set_vfo", Command::SetVfo, 1, 1},
    {'s', "get_split_vfo", Command::GetSplit, 0, 0},
    {'S', "set_split_vfo", Command::SetSplit, 2, 2},
    {0, "get_powerstat", Command::GetPowerStat, 0, 0},
    {0, "get_lock_mode", Command::GetLockMode, 0, 0},
    {0, "chk_vfo", Command::ChkVfo, 0, 0},
    {0, "dump_state", Command::DumpState, 0, 0},
    {0, "get_vfo_info", Command::GetVfoInfo, 0, 1},
    {'q', "quit", Command::Quit, 0, 0},
}};

// Hamlib's mode names with the passband we state for each.
struct Mode {
    const char *name;
    int passband;
};
constexpr std::array<Mode, 12> kModes{{
    {"USB", 2400},
    {"LSB", 2400},
    {"CW", 500},
    {"CWR", 500},
    {"RTTY", 500},
    {"RTTYR", 500},
    {"AM", 6000},
    {"FM", 12000},
    {"PKTUSB", 2400},
    {"PKTLSB", 2400},
    {"PKTFM", 12000},
    {"DSB", 5000},
}};

// The VFO names that mean the one VFO this station has.
constexpr std::array<const char *, 4> kOwnVfo{{"VFOA", "currVFO", "VFO", "Main"}};

// What the extended forms call each value.
constexpr char kFrequencyLabel[] = "Frequency: ";
constexpr char kModeLabel[] = "Mode: ";
constexpr char kPassbandLabel[] = "Passband: ";
constexpr char kPttLabel[] = "PTT: ";
constexpr char kVfoLabel[] = "VFO: ";
constexpr char kSplitLabel[] = "Split: ";
constexpr char kTxVfoLabel[] = "TX VFO: ";
constexpr char kPowerLabel[] = "Power Status: ";
constexpr char kLockLabel[] = "Locked: ";
constexpr char kChkVfoLabel[] = "ChkVFO: ";
constexpr char kInfoFrequencyLabel[] = "Freq: ";
constexpr char kWidthLabel[] = "Width: ";
constexpr char kSatModeLabel[] = "SatMode: ";

// Highest number of integer digits we read: far above any radio frequency, far below overflow.
constexpr int kMaxDigits = 12;

bool isOwnVfo(const QByteArray &name)
{
    for (const char *own : kOwnVfo)
        if (name == own)
            return true;
    return false;
}

bool isPrintable(char c) { return c >= 0x20 && c < 0x7f; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

const Entry *findShort(char c)
{
    for (const Entry &e : kCommands)
        if (e.shortName == c)
            return &e;
    // rigctld takes "Q" for quit as well.
    if (c == 'Q')
        return &kCommands.back();
    return nullptr;
}

const Entry *findLong(const QByteArray &name)
{
    for (const Entry &e : kCommands)
        if (name == e.longName)
            return &e;
    return nullptr;
}

bool isWord(const QByteArray &text)
{
    for (char c : text)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    return !text.isEmpty();
}

QByteArray rprt(int code) { return "RPRT " + QByteArray::number(code); }

// Collects the value lines of one reply and frames them for the protocol in use.
class ReplyBuilder {
public:
    explicit ReplyBuilder(const Request &r) : request_(r) {}

    void value(const char *label, const QByteArray &v)
    {
        if (request_.separator)
            out_ += label;
        out_ += v;
        out_ += request_.separator ? request_.separator : '\n';
    }

    QByteArray finish(int code, bool isGet) const
    {
        QByteArray text;
        if (request_.separator) {
            text = request_.name + ':';
            for (const QByteArray &a : request_.args)
                text += ' ' + a;
            text += request_.separator;
            text += out_;
            text += rprt(code) + '\n';
            return text;
        }
        // The default protocol answers a get with its values alone, anything else with RPRT.
        if (isGet && code == kOk)
            return out_;
        return rprt(code) + '\n';
    }

private:
    const Request &request_;
    QByteArray out_;
};

} // namespace

QList<Request> parseLine(const QByteArray &raw)
{
    Session session;
    QList<Request> requests = parseLine(raw, session);
    if (session.awaiting) {
        // No next line to take the missing arguments from.
        requests.append(*session.awaiting);
        requests.last().command = Command::Malformed;
    }
    return requests;
}

QList<Request> parseLine(const QByteArray &raw, Session &session)
{
    QByteArray line = raw;
    while (line.endsWith('\r') || line.endsWith('\n'))
        line.chop(1);
    line = line.trimmed();
    if (line.isEmpty())
        return {};

    Request bad;
    bad.command = Command::Malformed;
    for (char c : line)
        if (!isPrintable(c) && !isBlank(c)) {
            // No arguments in it: a command waiting for them is answered as malformed instead.
            if (session.awaiting) {
                bad = *std::exchange(session.awaiting, std::nullopt);
                bad.command = Command::Malformed;
            }
            return {bad};
        }

    // Read the way rigctld reads its input: a command is one letter (or "\name"), its
    // arguments the blank-separated words after it, and whatever follows is the next command.
    // Loggers rely on it: CQRlog polls with "fmv", three commands in one line.
    QList<Request> requests;
    const qsizetype n = line.size();
    qsizetype i = 0;
    const auto skipBlanks = [&] {
        while (i < n && isBlank(line.at(i)))
            ++i;
    };
    const auto nextWord = [&] {
        const qsizetype from = i;
        while (i < n && !isBlank(line.at(i)))
            ++i;
        return line.mid(from, i - from);
    };
    // Takes the arguments of `r` that this line has; false when it still lacks some, and
    // waits for the next line.
    const auto takeArgs = [&](Request &r, const Entry &entry) {
        for (skipBlanks(); i < n && r.args.size() < entry.maxArgs; skipBlanks())
            r.args.append(nextWord());
        if (r.args.size() < entry.minArgs) {
            session.awaiting = r;
            return false;
        }
        r.command = entry.command;
        requests.append(r);
        return true;
    };
    if (session.awaiting) {
        Request r = *std::exchange(session.awaiting, std::nullopt);
        if (!takeArgs(r, *findLong(r.name)))
            return requests;
    }
    for (skipBlanks(); i < n; skipBlanks()) {
        Request r;
        const char first = line.at(i);
        if (first == '+' || first == ';' || first == '|' || first == ',') {
            r.separator = first == '+' ? '\n' : first;
            ++i;
            skipBlanks();
            if (i == n) {
                requests.append(bad);
                break;
            }
        }
        // A comment, to the end of the line, as rigctld reads it: command files piped in carry
        // them, and an answer to one would put every later answer out of step.
        if (line.at(i) == '#')
            break;
        const Entry *entry = nullptr;
        if (line.at(i) == '\\') {
            const qsizetype from = ++i;
            while (i < n && !isBlank(line.at(i)))
                ++i;
            r.name = line.mid(from, i - from);
            if (!isWord(r.name)) {
                requests.append(bad); // no command word at all
                break;
            }
            entry = findLong(r.name);
        } else {
            r.name = QByteArray(1, line.at(i++));
            entry = findShort(r.name.at(0));
            // A word that is no run of our commands ("hello") is no command line.
            if (!entry && i < n && !isBlank(line.at(i))) {
                requests.append(bad);
                break;
            }
        }
        if (!entry) {
            // We cannot know how many arguments a command we do not offer takes: the rest of
            // the line is its.
            r.command = Command::Unknown;
            for (skipBlanks(); i < n; skipBlanks())
                r.args.append(nextWord());
            requests.append(r);
            break;
        }
        r.name = entry->longName;
        if (!takeArgs(r, *entry) || r.command == Command::Quit)
            break;
    }
    return requests;
}

std::optional<qint64> parseHertz(const QByteArray &text)
{
    qint64 value = 0;
    int digits = 0;
    qsizetype i = 0;
    if (i < text.size() && text.at(i) == '+')
        ++i;
    for (; i < text.size() && text.at(i) >= '0' && text.at(i) <= '9'; ++i) {
        if (++digits > kMaxDigits)
            return std::nullopt;
        value = value * 10 + (text.at(i) - '0');
    }
    bool fractionDigits = false;
    if (i < text.size() && text.at(i) == '.') {
        for (++i; i < text.size() && text.at(i) >= '0' && text.at(i) <= '9'; ++i)
            fractionDigits = true;
    }
    if (i != text.size() || (digits == 0 && !fractionDigits))
        return std::nullopt;
    return value;
}

bool isModeName(const QByteArray &word) { return remote::isModeName(QString::fromLatin1(word)); }

int passbandOf(const QByteArray &mode)
{
    for (const Mode &m : kModes)
        if (mode == m.name)
            return m.passband;
    return 2400;
}

QByteArray dumpStateText(bool settings)
{
    // Modes we may report: AM CW USB LSB RTTY FM CWR RTTYR.
    const QByteArray modes = "0x1bf";
    const QByteArray range = QByteArray::number(kLowestHz) + ' ' + QByteArray::number(kHighestHz) + ' ' + modes;
    QByteArray t;
    t += "1\n";  // protocol version
    t += "2\n";  // rig model
    t += "1\n";  // ITU region
    t += range + " -1 -1 0x3 0x0\n";
    t += "0 0 0 0 0 0 0\n"; // end of receive ranges
    t += "0 0 0 0 0 0 0\n"; // no transmit ranges of our own
    t += modes + ' ' + QByteArray::number(kStepHz) + '\n';
    t += "0 0\n"; // end of tuning steps
    t += "0xc 2400\n0x82 500\n0x110 500\n0x1 6000\n0x20 12000\n";
    t += "0 0\n"; // end of filters
    t += "0\n0\n0\n"; // max RIT, XIT, IF shift
    t += "0\n";       // announces
    t += "0\n0\n";    // preamps, attenuators
    t += "0x0\n0x0\n0x0\n0x0\n0x0\n0x0\n"; // functions, levels, parameters (get, set)
    if (!settings)
        return t;
    t += "vfo_ops=0x0\n";
    // Keyed by command ("T 1"), as rigctld says of a rig with CAT PTT. Hamlib clients take
    // this for the way to key: "none" makes them refuse every PTT request themselves, even
    // where the operator allows keying. Where it is not allowed, "T 1" is answered RPRT -11.
    t += "ptt_type=0x1\n";
    t += "targetable_vfo=0x3\n";
    t += "has_set_vfo=1\nhas_get_vfo=1\nhas_set_freq=1\nhas_get_freq=1\n";
    t += "has_set_conf=0\nhas_get_conf=0\nhas_power2mW=0\nhas_mW2power=0\n";
    t += "timeout=0\n";
    t += "rig_model=2\n";
    t += "rigctld_version=" TAVRIN_PRODUCT_NAME "\n";
    t += "done\n";
    return t;
}

Reply answer(const Request &r, RigBackend &backend, int client, Session &session)
{
    ReplyBuilder b(r);
    switch (r.command) {
    case Command::Malformed:
        return {rprt(kInvalid) + '\n', false};
    case Command::Unknown:
        return {rprt(kUnavailable) + '\n', false};
    case Command::GetFreq:
        b.value(kFrequencyLabel, QByteArray::number(backend.frequencyHz()));
        return {b.finish(kOk, true), false};
    case Command::SetFreq: {
        const std::optional<qint64> hz = parseHertz(r.args.at(0));
        if (!hz || *hz < kLowestHz || *hz > kHighestHz)
            return {b.finish(kInvalid, false), false};
        return {b.finish(backend.setFrequencyHz(*hz), false), false};
    }
    case Command::GetMode: {
        const QByteArray mode = backend.mode();
        b.value(kModeLabel, mode);
        b.value(kPassbandLabel, QByteArray::number(passbandOf(mode)));
        return {b.finish(kOk, true), false};
    }
    case Command::SetMode: {
        if (r.args.size() > 1) {
            bool ok = false;
            r.args.at(1).toLongLong(&ok);
            if (!ok)
                return {b.finish(kInvalid, false), false};
        }
        // There is no mode command for the node: only the mode it already has is "set".
        return {b.finish(r.args.at(0) == backend.mode() ? kOk : kUnavailable, false), false};
    }
    case Command::GetPtt:
        b.value(kPttLabel, backend.transmitting() ? "1" : "0");
        return {b.finish(kOk, true), false};
    case Command::SetPtt: {
        const QByteArray &a = r.args.at(0);
        if (a.size() != 1 || a.at(0) < '0' || a.at(0) > '3')
            return {b.finish(kInvalid, false), false};
        return {b.finish(backend.setPtt(client, a.at(0) != '0'), false), false};
    }
    case Command::GetVfo:
        b.value(kVfoLabel, kVfoName);
        return {b.finish(kOk, true), false};
    case Command::SetVfo:
        return {b.finish(isOwnVfo(r.args.at(0)) ? kOk : kUnavailable, false), false};
    case Command::GetVfoInfo: {
        // Raw clients poll with it rather than f and m; there is no other VFO to report on.
        if (!r.args.isEmpty() && !isOwnVfo(r.args.at(0)))
            return {b.finish(kUnavailable, false), false};
        const QByteArray mode = backend.mode();
        b.value(kInfoFrequencyLabel, QByteArray::number(backend.frequencyHz()));
        b.value(kModeLabel, mode);
        b.value(kWidthLabel, QByteArray::number(passbandOf(mode)));
        b.value(kSplitLabel, "0");
        b.value(kSatModeLabel, "0");
        return {b.finish(kOk, true), false};
    }
    case Command::GetSplit:
        b.value(kSplitLabel, "0");
        b.value(kTxVfoLabel, kVfoName);
        return {b.finish(kOk, true), false};
    case Command::SetSplit: {
        const QByteArray &on = r.args.at(0);
        if (on == "0")
            return {b.finish(kOk, false), false};
        return {b.finish(on == "1" ? kUnavailable : kInvalid, false), false};
    }
    case Command::GetPowerStat:
        b.value(kPowerLabel, "1");
        return {b.finish(kOk, true), false};
    case Command::GetLockMode:
        b.value(kLockLabel, "0");
        return {b.finish(kOk, true), false};
    case Command::ChkVfo:
        session.chkVfo = true;
        b.value(kChkVfoLabel, "0");
        return {b.finish(kOk, true), false};
    case Command::DumpState:
        if (r.separator)
            return {r.name + ":\n" + dumpStateText(session.chkVfo) + rprt(kOk) + '\n', false};
        return {dumpStateText(session.chkVfo), false};
    case Command::Quit:
        return {b.finish(kOk, false), true};
    }
    return {rprt(kInvalid) + '\n', false};
}

} // namespace tavrin::rig
