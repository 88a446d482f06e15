#include "node/HamlibRig.h"

#include <hamlib/rig.h>

#include <clocale>
#include <mutex>

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

} // namespace

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
    check(rig_set_freq(rig_, RIG_VFO_CURR, freq_t(hz)), "setting the frequency");
}

RigReading HamlibRig::read()
{
    if (!open_)
        open();
    freq_t hz = 0;
    check(rig_get_freq(rig_, RIG_VFO_CURR, &hz), "reading the frequency");
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
    check(rig_set_ptt(rig_, RIG_VFO_CURR, on ? RIG_PTT_ON : RIG_PTT_OFF), on ? "keying the rig" : "unkeying the rig");
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
