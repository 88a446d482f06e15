#include "node/HamlibRig.h"

#include <hamlib/rig.h>

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <mutex>

#include <netdb.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/time.h>
#include <unistd.h>

namespace tavrin::node {

namespace {

void quietHamlib()
{
    // Hamlib talks on stderr by default; our log says what matters, one line per event.
    static std::once_flag once;
    std::call_once(once, [] {
        rig_set_debug(RIG_DEBUG_NONE);
        // rig_open() switches the numeric locale to "C" and back through the name setlocale()
        // returned, which the switch itself frees unless the locale already is "C". Numbers
        // are ours to format (Qt does not use the C locale), so "C" it is, before any rig thread.
        std::setlocale(LC_NUMERIC, "C");
    });
}

void setConf(RIG *rig, const char *name, const QByteArray &value)
{
    const token_t token = rig_token_lookup(rig, name);
    if (token == RIG_CONF_END || rig_set_conf(rig, token, value.constData()) != RIG_OK)
        throw RigError(std::string("the rig does not take the setting ") + name);
}

// Hamlib's rigerror() appends its debug trace; the short form is what a log line wants.
std::string errorText(int code)
{
    return QString::fromLocal8Bit(rigerror2(code)).trimmed().toStdString();
}

constexpr int kNetRigctlModel = 2;

// Above anything a transceiver tunes: a reading past it is no frequency (and past 2^63 Hz no
// qint64 could even hold it).
constexpr double kMaxReadableHz = 1e12;

// Speeds Hamlib's serial port can be set to.
constexpr int kSerialSpeeds[] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800};

// Why a serial device will not open, in the system's words: Hamlib only says "IO error". The
// device is not opened to find out: opening a port raises its RTS and DTR, which key some rigs.
QString serialDeviceProblem(const QString &port)
{
    const QByteArray path = QFile::encodeName(port);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0)
        return QStringLiteral("%1: %2 (rig switched off or cable unplugged?)").arg(port, QString::fromLocal8Bit(std::strerror(errno)));
    if (::access(path.constData(), R_OK | W_OK) != 0)
        return QStringLiteral("%1: %2").arg(port, QString::fromLocal8Bit(std::strerror(errno)));
    // Not a device at all, or one of the memory devices (/dev/null, /dev/zero, ...).
    constexpr unsigned kMemoryDevices = 1;
    if (!S_ISCHR(st.st_mode) || major(st.st_rdev) == kMemoryDevices)
        return QStringLiteral("%1 is not a serial device").arg(port);
    return {};
}

// Why a rigctld will not answer, in the system's words: Hamlib only says "IO error".
QString rigctldProblem(const QString &port)
{
    const QString address = port.isEmpty() ? QStringLiteral("localhost:4532") : port;
    const qsizetype colon = address.lastIndexOf(QLatin1Char(':'));
    const QByteArray host = (colon < 0 ? address : address.left(colon)).toLocal8Bit();
    const QByteArray service = colon < 0 ? QByteArray("4532") : address.mid(colon + 1).toLocal8Bit();
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (const int code = ::getaddrinfo(host.constData(), service.constData(), &hints, &found); code != 0)
        return QStringLiteral("rigctld at %1: %2").arg(address, QString::fromLocal8Bit(::gai_strerror(code)));
    // Unreachable only when no address of the host answers; a distant one gets a few seconds.
    QString problem;
    for (const addrinfo *a = found; a; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        const timeval wait{2, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
        const bool reached = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
        const int error = errno;
        ::close(fd);
        if (reached) {
            problem.clear();
            break;
        }
        problem = QStringLiteral("rigctld at %1: %2 (is rigctld running?)").arg(address, QString::fromLocal8Bit(std::strerror(error)));
    }
    ::freeaddrinfo(found);
    return problem;
}

bool isSerial(const HamlibOptions &options)
{
    const rig_caps *caps = rig_get_caps(rig_model_t(options.model));
    return caps && caps->port_type == RIG_PORT_SERIAL && options.port.startsWith(QLatin1Char('/'));
}

} // namespace

QStringList hamlibOptionProblems(const HamlibOptions &options)
{
    quietHamlib();
    QStringList problems;
    rig_check_backend(rig_model_t(options.model));
    const rig_caps *caps = rig_get_caps(rig_model_t(options.model));
    if (!caps) {
        problems << QStringLiteral("[rig] model %1 is not a rig model Hamlib knows (rigctl --list)").arg(options.model);
        return problems;
    }
    if (options.serialSpeed > 0 && caps->port_type != RIG_PORT_SERIAL) {
        // Hamlib refuses the setting, so the rig would never open.
        problems << QStringLiteral("[rig] speed is for a rig on a serial port; the %1 %2 takes none%3")
                        .arg(QString::fromLatin1(caps->mfg_name), QString::fromLatin1(caps->model_name),
                             options.model == kNetRigctlModel ? QStringLiteral(" (give it to rigctld: -s)") : QString());
    } else if (options.serialSpeed > 0) {
        if (std::find(std::begin(kSerialSpeeds), std::end(kSerialSpeeds), options.serialSpeed) == std::end(kSerialSpeeds))
            problems << QStringLiteral("[rig] speed %1 is not a serial speed (such as 4800, 9600, 19200, 38400, 115200)")
                            .arg(options.serialSpeed);
        else if ((caps->serial_rate_min > 0 && options.serialSpeed < caps->serial_rate_min)
                 || (caps->serial_rate_max > 0 && options.serialSpeed > caps->serial_rate_max))
            problems << QStringLiteral("[rig] speed %1 is outside what the %2 %3 takes (%4 to %5)")
                            .arg(options.serialSpeed)
                            .arg(QString::fromLatin1(caps->mfg_name), QString::fromLatin1(caps->model_name))
                            .arg(caps->serial_rate_min)
                            .arg(caps->serial_rate_max);
    }
    return problems;
}

QString hamlibModelName(int model)
{
    quietHamlib();
    rig_check_backend(rig_model_t(model));
    const rig_caps *caps = rig_get_caps(rig_model_t(model));
    return caps ? QStringLiteral("%1 %2").arg(QString::fromLatin1(caps->mfg_name), QString::fromLatin1(caps->model_name))
                : QString();
}

HamlibRig::HamlibRig(HamlibOptions options) : options_(std::move(options)) { quietHamlib(); }

HamlibRig::~HamlibRig() { close(); }

void HamlibRig::check(int code, const char *what)
{
    if (code == RIG_OK)
        return;
    const std::string message = std::string(what) + ": " + errorText(code);
    // The link to the rig is in doubt: start again from open on the next call.
    if (code != -RIG_ENIMPL && code != -RIG_ENAVAIL && code != -RIG_EINVAL)
        close();
    throw RigError(message);
}

void HamlibRig::open()
{
    close();
    rig_ = rig_init(rig_model_t(options_.model));
    if (!rig_)
        throw RigError("Hamlib knows no rig model " + std::to_string(options_.model));
    try {
        if (!options_.port.isEmpty())
            setConf(rig_, "rig_pathname", options_.port.toLocal8Bit());
        if (options_.serialSpeed > 0)
            setConf(rig_, "serial_speed", QByteArray::number(options_.serialSpeed));
        setConf(rig_, "timeout", QByteArray::number(options_.timeoutMs));
        setConf(rig_, "retry", "1");
        // CAT PTT: a model that names no way of keying is asked to key through its commands.
        if (rig_->caps->ptt_type == RIG_PTT_NONE)
            setConf(rig_, "ptt_type", "RIG");
    } catch (...) {
        rig_cleanup(rig_);
        rig_ = nullptr;
        throw;
    }
    const int code = rig_open(rig_);
    if (code != RIG_OK) {
        rig_cleanup(rig_);
        rig_ = nullptr;
        const QString device = isSerial(options_)               ? serialDeviceProblem(options_.port)
                               : options_.model == kNetRigctlModel ? rigctldProblem(options_.port)
                                                                   : QString();
        if (!device.isEmpty())
            throw RigError("cannot open the rig: " + device.toStdString());
        throw RigError(std::string("cannot open the rig: ") + errorText(code));
    }
    open_ = true;
    // A report must say what the rig says now, not what Hamlib remembers.
    rig_set_cache_timeout_ms(rig_, HAMLIB_CACHE_ALL, 0);
}

void HamlibRig::close()
{
    if (!rig_)
        return;
    if (open_)
        rig_close(rig_);
    rig_cleanup(rig_);
    rig_ = nullptr;
    open_ = false;
}

void HamlibRig::setFrequency(qint64 hz)
{
    if (!open_)
        open();
    const int code = rig_set_freq(rig_, RIG_VFO_CURR, freq_t(hz));
    if (code == -RIG_ERJCTED || code == -RIG_EINVAL || code == -RIG_EDOM)
        throw RigRefusal("the rig cannot tune there (" + errorText(code) + ")");
    check(code, "setting the frequency");
}

RigReading HamlibRig::read()
{
    if (!open_)
        open();
    freq_t hz = 0;
    check(rig_get_freq(rig_, RIG_VFO_CURR, &hz), "reading the frequency");
    // A rig or a rigctld can answer anything ("nan", a negative number, 1e30): none of it is a
    // frequency to report to the operator or to check against the node's ranges.
    if (!(hz > 0 && hz < kMaxReadableHz))
        throw RigError("reading the frequency: the rig answered " + QByteArray::number(hz, 'g', 12).toStdString()
                       + " Hz, which is no frequency");
    RigReading reading;
    reading.hz = qint64(hz + 0.5);
    rmode_t mode = RIG_MODE_NONE;
    pbwidth_t width = 0;
    // Not every rig reports its mode; the frequency alone still makes a report.
    if (rig_get_mode(rig_, RIG_VFO_CURR, &mode, &width) == RIG_OK && mode != RIG_MODE_NONE)
        reading.mode = QString::fromLatin1(rig_strrmode(mode));
    return reading;
}

void HamlibRig::setPtt(bool on)
{
    if (!open_)
        open();
    const int code = rig_set_ptt(rig_, RIG_VFO_CURR, on ? RIG_PTT_ON : RIG_PTT_OFF);
    // A rig (or a rigctld started without "-P RIG") that takes no keying by its commands
    // says only "Invalid parameter": say what it means.
    if (code == -RIG_EINVAL || code == -RIG_ENAVAIL || code == -RIG_ENIMPL)
        throw RigError(std::string(on ? "keying the rig: " : "unkeying the rig: ") + "the rig takes no PTT by CAT ("
                       + errorText(code) + (options_.model == kNetRigctlModel ? "); start rigctld with -P RIG" : ")"));
    check(code, on ? "keying the rig" : "unkeying the rig");
}

bool HamlibRig::ptt()
{
    if (!open_)
        open();
    ptt_t state = RIG_PTT_OFF;
    check(rig_get_ptt(rig_, RIG_VFO_CURR, &state), "reading the PTT");
    return state != RIG_PTT_OFF;
}

std::optional<int> HamlibRig::strength()
{
    if (!open_)
        open();
    value_t value{};
    if (!rig_has_get_level(rig_, RIG_LEVEL_STRENGTH))
        return std::nullopt;
    check(rig_get_level(rig_, RIG_VFO_CURR, RIG_LEVEL_STRENGTH, &value), "reading the S-meter");
    return value.i;
}

} // namespace tavrin::node
