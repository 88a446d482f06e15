#include "protocol/FrequencyText.h"

#include <QStringList>

#include <algorithm>
#include <string>

namespace tavrin::remote {

namespace {

constexpr int kDecimals = 4;
constexpr char kCommandPrefix[] = "FN";
constexpr char kCommandTimeJoin[] = " MHz  -  ";
constexpr char kCommandTime[] = "hh:mm:ss";
// Four decimals of MHz.
constexpr qint64 kStepHz = 100;
constexpr char kNotAFrequency[] = "Not sent: \"%1\" is not a frequency above 0 MHz";
constexpr char kNothingToStepFrom[] = "Not sent: \"%1\" is no frequency to step from";

// A signed decimal held as its digits: value = magnitude * 10^-scale.
struct Decimal {
    bool negative = false;
    std::string magnitude; // ASCII digits, most significant first, may carry leading zeros
    int scale = 0;
};

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }
bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

std::optional<Decimal> parse(const QString &text)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && isBlank(text[i]))
        ++i;
    Decimal d;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        d.negative = text[i] == QLatin1Char('-');
        ++i;
        while (i < n && isBlank(text[i]))
            ++i;
    }
    bool point = false;
    bool anyDigit = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (isDigit(c)) {
            d.magnitude.push_back(char(c.unicode()));
            anyDigit = true;
            if (point)
                ++d.scale;
        } else if (c == QLatin1Char('.') && !point) {
            point = true;
        } else {
            break;
        }
    }
    while (i < n && isBlank(text[i]))
        ++i;
    if (i != n || !anyDigit)
        return std::nullopt;
    return d;
}

// Builds anew instead of insert(): GCC 12 raises a false -Wrestrict alarm on insert at -O3.
void prepend(std::string &digits, std::size_t count, char c)
{
    std::string grown(count, c);
    grown.append(digits);
    digits.swap(grown);
}

void padLeft(std::string &digits, std::size_t length)
{
    if (digits.size() < length)
        prepend(digits, length - digits.size(), '0');
}

void setScale(Decimal &d, int scale)
{
    d.magnitude.append(std::size_t(scale - d.scale), '0');
    d.scale = scale;
}

// Adds one unit in the last place of a digit string.
void incrementDigits(std::string &digits)
{
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    prepend(digits, 1, '1');
}

// Half away from zero: the sign stays out of it, the magnitude rounds up from a 5 on.
Decimal roundToDecimals(Decimal d)
{
    if (d.scale <= kDecimals) {
        setScale(d, kDecimals);
        return d;
    }
    const std::size_t drop = std::size_t(d.scale - kDecimals);
    padLeft(d.magnitude, drop + 1);
    const bool up = d.magnitude[d.magnitude.size() - drop] >= '5';
    d.magnitude.erase(d.magnitude.size() - drop);
    d.scale = kDecimals;
    if (up)
        incrementDigits(d.magnitude);
    return d;
}

int compareMagnitudes(const std::string &a, const std::string &b)
{
    // Equal lengths by the caller.
    return a.compare(b);
}

std::string addMagnitudes(const std::string &a, const std::string &b)
{
    std::string out(a.size(), '0');
    int carry = 0;
    for (std::size_t k = a.size(); k-- > 0;) {
        const int s = (a[k] - '0') + (b[k] - '0') + carry;
        out[k] = char('0' + s % 10);
        carry = s / 10;
    }
    if (carry)
        prepend(out, 1, '1');
    return out;
}

// a - b with a >= b.
std::string subtractMagnitudes(const std::string &a, const std::string &b)
{
    std::string out(a.size(), '0');
    int borrow = 0;
    for (std::size_t k = a.size(); k-- > 0;) {
        int s = (a[k] - '0') - (b[k] - '0') - borrow;
        borrow = s < 0;
        if (borrow)
            s += 10;
        out[k] = char('0' + s);
    }
    return out;
}

Decimal add(Decimal a, Decimal b)
{
    const int scale = std::max(a.scale, b.scale);
    setScale(a, scale);
    setScale(b, scale);
    const std::size_t length = std::max(a.magnitude.size(), b.magnitude.size());
    padLeft(a.magnitude, length);
    padLeft(b.magnitude, length);
    Decimal sum;
    sum.scale = scale;
    if (a.negative == b.negative) {
        sum.negative = a.negative;
        sum.magnitude = addMagnitudes(a.magnitude, b.magnitude);
    } else if (compareMagnitudes(a.magnitude, b.magnitude) >= 0) {
        sum.negative = a.negative;
        sum.magnitude = subtractMagnitudes(a.magnitude, b.magnitude);
    } else {
        sum.negative = b.negative;
        sum.magnitude = subtractMagnitudes(b.magnitude, a.magnitude);
    }
    return sum;
}

// Text of a value already rounded to four decimals.
QString formatRounded(Decimal d)
{
    padLeft(d.magnitude, kDecimals);
    const std::size_t intLength = d.magnitude.size() - kDecimals;
    std::size_t firstSignificant = 0;
    while (firstSignificant < intLength && d.magnitude[firstSignificant] == '0')
        ++firstSignificant;
    const bool zero = d.magnitude.find_first_not_of('0') == std::string::npos;
    std::string out;
    out.reserve(d.magnitude.size() + 2);
    // No "-.0000": a value that rounds to nothing has no sign.
    if (d.negative && !zero)
        out.push_back('-');
    out.append(d.magnitude, firstSignificant, intLength - firstSignificant);
    out.push_back('.');
    out.append(d.magnitude, intLength, kDecimals);
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

} // namespace

bool isNumberText(const QString &text) { return parse(text).has_value(); }

QString withDecimalPoint(const QString &typed)
{
    if (typed.count(QLatin1Char(',')) != 1 || typed.contains(QLatin1Char('.')))
        return typed;
    QString dotted = typed;
    dotted.replace(QLatin1Char(','), QLatin1Char('.'));
    return isNumberText(dotted) ? dotted : typed;
}

QString formatFrequency(const QString &text)
{
    const std::optional<Decimal> d = parse(text);
    if (!d)
        return text;
    return formatRounded(roundToDecimals(*d));
}

bool roundsWhenFormatted(const QString &text)
{
    const std::optional<Decimal> d = parse(text);
    if (!d || d->scale <= kDecimals)
        return false;
    const std::size_t dropped = std::size_t(d->scale - kDecimals);
    return d->magnitude.find_first_not_of('0', d->magnitude.size() - dropped) != std::string::npos;
}

std::optional<QString> addStep(const QString &text, long long deltaTenThousandths)
{
    const std::optional<Decimal> d = parse(text);
    if (!d)
        return std::nullopt;
    Decimal delta;
    delta.negative = deltaTenThousandths < 0;
    const unsigned long long size =
        delta.negative ? 0ULL - static_cast<unsigned long long>(deltaTenThousandths)
                       : static_cast<unsigned long long>(deltaTenThousandths);
    delta.magnitude = std::to_string(size);
    delta.scale = kDecimals;
    return formatRounded(roundToDecimals(add(*d, delta)));
}

bool isSendableFrequency(const QString &text)
{
    const std::optional<Decimal> d = parse(text);
    if (!d || d->negative)
        return false;
    const Decimal rounded = roundToDecimals(*d);
    return rounded.magnitude.find_first_not_of('0') != std::string::npos;
}

QString frequencyRefusal(const QString &text)
{
    return isSendableFrequency(text) ? QString() : QString::fromLatin1(kNotAFrequency).arg(text);
}

QString stepRefusal(const QString &from, long long deltaTenThousandths)
{
    if (!isSendableFrequency(from))
        return QString::fromLatin1(kNothingToStepFrom).arg(from);
    return frequencyRefusal(addStep(from, deltaTenThousandths).value_or(QString()));
}

QString frequencyCommand(const QString &text) { return QLatin1String(kCommandPrefix) + text; }

QString frequencyCommandLine(const QString &frequencyText, const QTime &time)
{
    return frequencyCommand(formatFrequency(frequencyText)) + QLatin1String(kCommandTimeJoin)
           + time.toString(QLatin1String(kCommandTime));
}

bool isCommandLineTail(QStringView rest)
{
    const QLatin1String join(kCommandTimeJoin);
    if (!rest.startsWith(join))
        return false;
    return QTime::fromString(rest.mid(join.size()).trimmed().toString(), QLatin1String(kCommandTime)).isValid();
}

QString hertzToFrequencyText(qint64 hz)
{
    const qint64 units = hz / kStepHz; // tenths of a kHz
    const qint64 mhz = units / 10000;
    const qint64 rest = units % 10000;
    return QStringLiteral("%1.%2").arg(mhz).arg(rest, 4, 10, QLatin1Char('0'));
}

std::optional<qint64> frequencyTextToHertz(const QString &text)
{
    const QByteArray t = text.trimmed().toLatin1();
    const qsizetype point = t.indexOf('.');
    const QByteArray whole = point < 0 ? t : t.left(point);
    QByteArray fraction = point < 0 ? QByteArray() : t.mid(point + 1);
    if (whole.size() > 6 || fraction.contains('.'))
        return std::nullopt;
    for (char c : whole + fraction)
        if (c < '0' || c > '9')
            return std::nullopt;
    if (whole.isEmpty() && fraction.isEmpty())
        return std::nullopt;
    // MHz with up to six decimals is whole hertz; further digits are below our resolution.
    fraction = fraction.left(6).leftJustified(6, '0');
    return whole.toLongLong() * 1'000'000 + fraction.toLongLong();
}

QString updateFrequencyDisplayText(const QString &frequencyField)
{
    static const QStringList removed = {
        QStringLiteral(" "),  QStringLiteral("KHZ"), QStringLiteral("MHZ"), QStringLiteral("USB"),
        QStringLiteral("LSB"), QStringLiteral("CW"), QStringLiteral("AM"),  QStringLiteral("FM"),
        QStringLiteral(">"),  QStringLiteral("<"),
    };
    QString text = frequencyField.toUpper();
    for (const QString &r : removed)
        text.remove(r, Qt::CaseSensitive);
    return text;
}

bool canAppendPoint(const QString &entry) { return entry.indexOf(QLatin1Char('.'), 1) < 0; }

} // namespace tavrin::remote
