#include "protocol/NodeCommands.h"

#include "protocol/RemoteProtocol.h"

#include <QRegularExpression>

#include <cmath>

namespace tavrin::remote {

namespace {

// Frequencies a synthesiser can hold; anything else is a typo.
constexpr double kLowestMHz = 0.0001;
constexpr double kHighestMHz = 99999.0;
constexpr double kSidebandSplitMHz = 10.0;

// A command word: not glued to a letter or digit before it.
QRegularExpression commandWord(const QString &word, bool atEnd = false)
{
    QString pattern = QStringLiteral("(?<![A-Za-z0-9])") + QRegularExpression::escape(word);
    if (atEnd)
        pattern += QStringLiteral("\\s*$");
    return QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption);
}

struct Words {
    QRegularExpression frequencyQuery = commandWord(QString::fromLatin1(kFrequencyQuery));
    QRegularExpression timeQuery = commandWord(QString::fromLatin1(kTimeQuery));
    QRegularExpression voice = commandWord(QStringLiteral("CV?"));
    QRegularExpression signalReport = commandWord(QStringLiteral("SR?"));
    QRegularExpression squelchActive = commandWord(QStringLiteral("CVSA?"));
    QRegularExpression squelchDisable = commandWord(QStringLiteral("CVSD?"));
    QRegularExpression preamp = commandWord(QStringLiteral("CPA?"));
    QRegularExpression endTransmission = commandWord(QStringLiteral("CPT?"), true);
    // A decimal comma ("FN14,235") is a typo, not the whole megahertz in front of it.
    QRegularExpression frequencySet{QStringLiteral("FN(\\d++(?:\\.\\d*+)?+|\\.\\d++)(?!,\\d)"),
                                    QRegularExpression::CaseInsensitiveOption};
    QRegularExpression frequencyWord = commandWord(QStringLiteral("FN"));
};

const Words &words()
{
    static const Words w;
    return w;
}

bool has(const QRegularExpression &re, const QString &line)
{
    return re.match(line).hasMatch();
}

} // namespace

std::optional<double> nodeFrequencyCommand(const QString &line)
{
    const QRegularExpressionMatch m = words().frequencySet.match(line);
    if (!m.hasMatch())
        return std::nullopt;
    bool ok = false;
    const double mhz = m.captured(1).toDouble(&ok);
    if (!ok || !std::isfinite(mhz) || mhz < kLowestMHz || mhz > kHighestMHz)
        return std::nullopt;
    return mhz;
}

NodeRequest readNodeRequest(const QString &line)
{
    const Words &w = words();
    NodeRequest r;
    r.frequencyMHz = nodeFrequencyCommand(line);
    r.unreadableFrequency = !r.frequencyMHz && has(w.frequencyWord, line);
    r.frequencyQuery = has(w.frequencyQuery, line);
    r.timeQuery = has(w.timeQuery, line);
    r.voice = has(w.voice, line);
    r.signalReport = has(w.signalReport, line);
    r.squelchActive = has(w.squelchActive, line);
    r.squelchDisable = has(w.squelchDisable, line);
    r.preamp = has(w.preamp, line);
    r.endTransmission = has(w.endTransmission, line);
    r.versionQuery = isVersionQuery(line);
    return r;
}

QString nodeFrequencyText(double mhz)
{
    return QString::number(mhz, 'f', 4);
}

QString sidebandFor(double mhz)
{
    return mhz < kSidebandSplitMHz ? QStringLiteral("LSB") : QStringLiteral("USB");
}

QString nodeLine(const QString &callsign, const QString &text)
{
    return callsign + QLatin1Char('>') + text;
}

QString frequencyReportText(const QString &frequencyText, const QString &mode)
{
    QString text = QStringLiteral("FN") + frequencyText;
    if (!mode.isEmpty())
        text += QLatin1Char(' ') + mode;
    return text;
}

QString nodeTimeText(const QTime &time)
{
    return QStringLiteral("Time ") + time.toString(QStringLiteral("HH:mm:ss"));
}

QString senderOf(const QString &line)
{
    const qsizetype p = line.indexOf(QLatin1Char('>'));
    return p > 0 ? line.left(p).trimmed().toUpper() : QString();
}

} // namespace tavrin::remote
