#include "echolink/native/DirectoryProtocol.h"

#include "common/TextDecoding.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cstring>

namespace tavrin::directory {

namespace {

constexpr QByteArrayView kPasswordSeparator = "\xac\xac";
constexpr QByteArrayView kListStart = "@@@";
constexpr QByteArrayView kListEnd = "+++";
constexpr QByteArrayView kAccepted = "OK";
constexpr char kTimeFormat[] = "HH:mm";

// Login fields go out as single bytes, as the classic servers expect; line ends and other
// control characters would split a field, so they never reach the wire.
QByteArray wireField(const QString &text)
{
    QString clean;
    clean.reserve(text.size());
    for (QChar c : text)
        if (c.category() != QChar::Other_Control)
            clean.append(c);
    return clean.toLatin1();
}

bool allDigits(QByteArrayView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

QByteArrayView withoutCarriageReturn(QByteArrayView text)
{
    return text.endsWith('\r') ? text.chopped(1) : text;
}

// A short printable sample of bad input, for an error message.
QString sample(QByteArrayView text)
{
    return QLatin1Char('"') + cutText(cleanText(text), 40) + QLatin1Char('"');
}

QString sizeText(qsizetype bytes)
{
    constexpr qsizetype mebibyte = 1024 * 1024;
    return bytes % mebibyte == 0 ? QStringLiteral("%1 MiB").arg(bytes / mebibyte) : QStringLiteral("%1 bytes").arg(bytes);
}

} // namespace

QByteArray statusText(DirectoryStatus status)
{
    switch (status) {
    case DirectoryStatus::Online:
        return QByteArray("ONLINE") + kClientVersion;
    case DirectoryStatus::Busy:
        return QByteArray("BUSY") + kClientVersion;
    case DirectoryStatus::Offline:
        break;
    }
    return QByteArray("OFF-V") + kClientVersion;
}

QByteArray encodeLogin(const QString &callsign, const QString &password, DirectoryStatus status,
                       QTime localTime, const QString &description)
{
    const QTime time = localTime.isValid() ? localTime : QTime(0, 0);
    QByteArray out("l");
    out += wireField(callsign.trimmed().toUpper());
    out += kPasswordSeparator;
    out += wireField(password);
    out += '\r';
    out += statusText(status);
    out += '(' + time.toString(QLatin1String(kTimeFormat)).toLatin1() + ")\r";
    out += wireField(description);
    out += '\r';
    return out;
}

QByteArray encodeListRequest() { return QByteArrayLiteral("s"); }

LoginReply readLoginReply(QByteArrayView received, bool complete)
{
    LoginReply reply;
    if (received.startsWith(kAccepted)) {
        reply.state = LoginReply::State::Accepted;
        return reply;
    }
    const bool couldStillBeOk = received.size() < kAccepted.size() && kAccepted.startsWith(received);
    if (couldStillBeOk && !complete)
        return reply;
    qsizetype end = received.size();
    for (qsizetype i = 0; i < received.size(); ++i)
        if (received[i] == '\n' || received[i] == '\r') {
            end = i;
            break;
        }
    const bool lineEnded = end < received.size();
    if (!lineEnded && !complete && received.size() < kMaxLoginReply)
        return reply;
    reply.state = LoginReply::State::Refused;
    reply.reason = cutText(cleanText(received.first(std::min(end, kMaxLoginReply))), kReasonChars).trimmed();
    return reply;
}

QString cleanText(QByteArrayView bytes)
{
    QString text = decodeUtf8OrWindows1252(bytes);
    // Direction marks, embeddings, overrides and isolates too: quoted in a message, one would
    // turn round the rest of the line, the server's name after it included.
    text.removeIf([](QChar c) {
        const char16_t u = c.unicode();
        return c.category() == QChar::Other_Control || u == 0x061C || u == 0x200E || u == 0x200F
            || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
    });
    return text;
}

QString cutText(const QString &text, int chars)
{
    if (text.size() <= chars)
        return text;
    int end = chars;
    if (end > 0 && text.at(end - 1).isHighSurrogate())
        --end;
    return text.left(end);
}

void splitDescription(const QString &line, DirectoryStation &station)
{
    static const QRegularExpression suffix(QStringLiteral(R"(^(.*?)\s*\[(\S+)(?:\s+(\d{1,2}:\d{2}))?\]\s*$)"),
                                           QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = suffix.match(line);
    if (match.hasMatch()) {
        station.description = cutText(match.captured(1).trimmed(), kDisplayChars);
        station.status = match.captured(2);
        station.time = match.captured(3);
    } else {
        station.description = cutText(line.trimmed(), kDisplayChars);
        station.status.clear();
        station.time.clear();
    }
}

QHostAddress parseIpv4(QByteArrayView text)
{
    quint32 value = 0;
    int parts = 0;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype dot = text.indexOf('.', start);
        if (dot < 0)
            dot = text.size();
        const QByteArrayView part = text.sliced(start, dot - start);
        if (!allDigits(part) || part.size() > 3 || ++parts > 4)
            return {};
        const int number = QByteArray(part.data(), part.size()).toInt();
        if (number > 255)
            return {};
        value = (value << 8) | quint32(number);
        start = dot + 1;
    }
    return parts == 4 ? QHostAddress(value) : QHostAddress();
}

StationListReader::StationListReader(ListLimits limits) : limits_(limits) {}

StationListReader::State StationListReader::feed(QByteArrayView bytes)
{
    qsizetype pos = 0;
    while (state_ == State::NeedMore && pos < bytes.size()) {
        const void *found = std::memchr(bytes.data() + pos, '\n', size_t(bytes.size() - pos));
        const qsizetype newline = found ? static_cast<const char *>(found) - bytes.data() : -1;
        const QByteArrayView chunk = bytes.sliced(pos, (newline < 0 ? bytes.size() : newline) - pos);
        received_ += chunk.size() + (newline < 0 ? 0 : 1);
        if (received_ > limits_.maxReplyBytes) {
            fail(Error::ReplyTooLarge, QStringLiteral("more than %1").arg(sizeText(limits_.maxReplyBytes)));
            break;
        }
        // One more byte than the limit leaves room for a "\r" before the "\n".
        if (partial_.size() + chunk.size() > limits_.maxLineBytes + 1) {
            fail(Error::LineTooLong,
                 QStringLiteral("line %1 longer than %2 bytes").arg(lineNumber_ + 1).arg(limits_.maxLineBytes));
            break;
        }
        if (newline < 0) {
            partial_.append(chunk);
            break;
        }
        if (partial_.isEmpty()) {
            line(chunk);
        } else {
            partial_.append(chunk);
            line(partial_);
            partial_.clear();
        }
        pos = newline + 1;
    }
    return state_;
}

StationListReader::State StationListReader::finish()
{
    if (state_ != State::NeedMore)
        return state_;
    // The final "+++" may come without a line end; anything else unended is a cut line.
    if (expect_ == Expect::End && withoutCarriageReturn(partial_) == kListEnd) {
        state_ = State::Done;
        partial_ = {};
        return state_;
    }
    if (expect_ == Expect::Header || expect_ == Expect::Count)
        fail(Error::Truncated, QStringLiteral("the reply ended before the list"));
    else
        fail(Error::Truncated, QStringLiteral("the reply ended after %1 of %2 entries").arg(stations_.size()).arg(announced_));
    return state_;
}

bool StationListReader::tooLarge() const
{
    return error_ == Error::LineTooLong || error_ == Error::TooManyEntries || error_ == Error::ReplyTooLarge;
}

QList<DirectoryStation> StationListReader::takeStations()
{
    if (state_ != State::Done)
        return {};
    return std::exchange(stations_, {});
}

void StationListReader::fail(Error error, const QString &detail)
{
    state_ = State::Failed;
    error_ = error;
    detail_ = detail;
    // No partial list is ever handed out: free it now.
    stations_ = {};
    partial_ = {};
}

void StationListReader::line(QByteArrayView raw)
{
    ++lineNumber_;
    const QByteArrayView text = withoutCarriageReturn(raw);
    if (text.size() > limits_.maxLineBytes) {
        fail(Error::LineTooLong, QStringLiteral("line %1 longer than %2 bytes").arg(lineNumber_).arg(limits_.maxLineBytes));
        return;
    }
    switch (expect_) {
    case Expect::Header:
        if (text != kListStart)
            return fail(Error::NotAList, QStringLiteral("not a station list: %1").arg(sample(text)));
        expect_ = Expect::Count;
        return;
    case Expect::Count: {
        if (!allDigits(text) || text.size() > 9)
            return fail(Error::BadCount, QStringLiteral("bad entry count %1").arg(sample(text)));
        announced_ = QByteArray(text.data(), text.size()).toLongLong();
        if (announced_ > limits_.maxEntries)
            return fail(Error::TooManyEntries,
                        QStringLiteral("%1 entries, more than %2").arg(announced_).arg(limits_.maxEntries));
        stations_.reserve(std::min<qsizetype>(announced_, 4096));
        expect_ = announced_ == 0 ? Expect::End : Expect::Callsign;
        return;
    }
    case Expect::Callsign:
        if (text == kListEnd)
            return fail(Error::CountMismatch,
                        QStringLiteral("the list ended after %1 of %2 entries").arg(stations_.size()).arg(announced_));
        current_ = {};
        current_.callsign = cleanText(text).trimmed().toUpper();
        if (current_.callsign.isEmpty())
            return fail(Error::BadCallsign, QStringLiteral("entry %1 has no callsign").arg(stations_.size() + 1));
        expect_ = Expect::Description;
        return;
    case Expect::Description:
        splitDescription(cleanText(text), current_);
        expect_ = Expect::Id;
        return;
    case Expect::Id: {
        bool ok = false;
        const qulonglong id = allDigits(text) && text.size() <= 10 ? QByteArray(text.data(), text.size()).toULongLong(&ok) : 0;
        if (!ok || id > 0xffffffffULL)
            return fail(Error::BadId, QStringLiteral("bad node number %1 for %2").arg(sample(text), current_.callsign));
        current_.id = quint32(id);
        expect_ = Expect::Address;
        return;
    }
    case Expect::Address:
        current_.address = parseIpv4(text);
        if (current_.address.isNull())
            return fail(Error::BadAddress, QStringLiteral("bad address %1 for %2").arg(sample(text), current_.callsign));
        stations_.append(std::move(current_));
        current_ = {};
        expect_ = stations_.size() == announced_ ? Expect::End : Expect::Callsign;
        return;
    case Expect::End:
        if (text != kListEnd)
            return fail(Error::CountMismatch, QStringLiteral("more entries than the %1 announced").arg(announced_));
        state_ = State::Done;
        return;
    }
}

} // namespace tavrin::directory
