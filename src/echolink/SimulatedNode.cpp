#include "echolink/SimulatedNode.h"

#include "protocol/NodeCommands.h"

namespace tavrin {

using namespace tavrin::remote;

SimulatedNode::SimulatedNode(QString callsign) : callsign_(std::move(callsign)) {}

QString SimulatedNode::tagged(const QString &text) const
{
    return nodeLine(callsign_, text);
}

QString SimulatedNode::report() const
{
    return tagged(frequencyReportText(frequency_, mode_));
}

SimulatedNode::Answer SimulatedNode::hear(const QString &line, const QDateTime &now)
{
    const NodeRequest request = readNodeRequest(line);
    Answer answer;

    if (request.frequencyMHz) {
        frequency_ = nodeFrequencyText(*request.frequencyMHz);
        mode_ = sidebandFor(*request.frequencyMHz);
        answer.lines << report();
    }
    if (request.frequencyQuery)
        answer.lines << report();
    if (request.timeQuery)
        answer.lines << tagged(nodeTimeText(now.time()));
    if (request.voice) {
        voice_ = !voice_;
        answer.lines << tagged(QLatin1String(voice_ ? kVoiceOnText : kVoiceOffText));
    }
    if (request.signalReport)
        answer.lines << tagged(QLatin1String(kSignalReportText));
    if (request.squelchActive)
        answer.lines << tagged(QLatin1String(kSquelchActiveText));
    if (request.squelchDisable)
        answer.lines << tagged(QLatin1String(kSquelchDisabledText));
    if (request.preamp) {
        preamp_ = !preamp_;
        answer.lines << tagged(QLatin1String(preamp_ ? kPreampOnText : kPreampOffText));
    }
    answer.endTransmission = request.endTransmission;
    return answer;
}

} // namespace tavrin
