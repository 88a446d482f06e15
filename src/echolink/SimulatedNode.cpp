#include "echolink/SimulatedNode.h"

#include <QRegularExpression>

#include <cmath>

namespace tavrin {

namespace {

// Frequencies the node's synthesiser can hold; anything else is a typo it ignores.
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
    QRegularExpression frequencyQuery = commandWord(QStringLiteral("FR?"));
    QRegularExpression timeQuery = commandWord(QStringLiteral("Time?"));
    QRegularExpression voice = commandWord(QStringLiteral("CV?"));
    QRegularExpression signalReport = commandWord(QStringLiteral("SR?"));
    QRegularExpression squelchActive = commandWord(QStringLiteral("CVSA?"));
    QRegularExpression squelchDisable = commandWord(QStringLiteral("CVSD?"));
    QRegularExpression preamp = commandWord(QStringLiteral("CPA?"));
    QRegularExpression endTransmission = commandWord(QStringLiteral("CPT?"), true);
    QRegularExpression frequencySet{QStringLiteral("FN(\\d+(?:\\.\\d*)?|\\.\\d+)"),
                                    QRegularExpression::CaseInsensitiveOption};
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

SimulatedNode::SimulatedNode(QString callsign) : callsign_(std::move(callsign)) {}

QString SimulatedNode::tagged(const QString &text) const
{
    return callsign_ + QLatin1Char('>') + text;
}

QString SimulatedNode::report() const
{
    return tagged(QStringLiteral("FN") + frequency_ + QLatin1Char(' ') + mode_);
}

std::optional<double> SimulatedNode::frequencyCommand(const QString &line)
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

QString SimulatedNode::formatFrequency(double mhz)
{
    return QString::number(mhz, 'f', 4);
}

QString SimulatedNode::modeFor(double mhz)
{
    return mhz < kSidebandSplitMHz ? QStringLiteral("LSB") : QStringLiteral("USB");
}

SimulatedNode::Answer SimulatedNode::hear(const QString &line, const QDateTime &now)
{
    const Words &w = words();
    Answer answer;

    if (const auto mhz = frequencyCommand(line)) {
        frequency_ = formatFrequency(*mhz);
        mode_ = modeFor(*mhz);
        answer.lines << report();
    }
    if (has(w.frequencyQuery, line))
        answer.lines << report();
    if (has(w.timeQuery, line))
        answer.lines << tagged(QStringLiteral("Time ") + now.toString(QStringLiteral("HH:mm:ss")));
    if (has(w.voice, line)) {
        voice_ = !voice_;
        answer.lines << tagged(voice_ ? QStringLiteral("Voice announcements ON")
                                      : QStringLiteral("Voice announcements OFF"));
    }
    if (has(w.signalReport, line))
        answer.lines << tagged(QStringLiteral("Signal report S7"));
    if (has(w.squelchActive, line))
        answer.lines << tagged(QStringLiteral("Squelch active"));
    if (has(w.squelchDisable, line))
        answer.lines << tagged(QStringLiteral("Squelch disabled"));
    if (has(w.preamp, line)) {
        preamp_ = !preamp_;
        answer.lines << tagged(preamp_ ? QStringLiteral("Preamp ON") : QStringLiteral("Preamp OFF"));
    }
    answer.endTransmission = has(w.endTransmission, line);
    return answer;
}

} // namespace tavrin
