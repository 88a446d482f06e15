#include "station/StationState.h"

#include "station/TransmitControl.h"

#include "common/Clock.h"
#include "protocol/FrequencyText.h"
#include "protocol/NodeCommands.h"

#include <cmath>

namespace tavrin::station {

namespace {

// Far more commands than anyone steps ahead of the node's reports.
constexpr qsizetype kMaxAsked = 32;

} // namespace

StationState::StationState(const Clock &clock, QObject *parent) : QObject(parent), clock_(clock)
{
    setObjectName(QStringLiteral("StationState"));
    transmit_ = new TransmitControl(*this, clock, this);
}

StationState::~StationState() = default;

void StationState::setTransmitting(bool transmitting)
{
    if (transmitting_ == transmitting)
        return;
    transmitting_ = transmitting;
    emit transmittingChanged(transmitting_);
}

void StationState::setReceiving(bool receiving)
{
    if (receiving_ == receiving)
        return;
    receiving_ = receiving;
    emit receivingChanged(receiving_);
}

void StationState::setStationCount(int count)
{
    if (stationCount_ == count)
        return;
    stationCount_ = count;
    emit stationCountChanged(stationCount_);
}

void StationState::setFrequency(const QString &frequency)
{
    if (frequency_ == frequency)
        return;
    frequency_ = frequency;
    emit frequencyChanged(frequency_);
}

void StationState::setDisplay(const QString &text)
{
    if (display_ == text)
        return;
    display_ = text;
    emit displayChanged(display_);
}

void StationState::lineSent(const QString &line)
{
    const std::optional<double> mhz = remote::nodeFrequencyCommand(line);
    if (!mhz)
        return;
    // The node's resolution: reports carry four decimals of MHz.
    const qint64 hz = std::llround(*mhz * 10000.0) * 100;
    if (asked_.size() == kMaxAsked)
        asked_.removeFirst();
    asked_.append({hz, clock_.now()});
    emit frequencyCommanded(hz);
}

bool StationState::reportIsCurrent(const QString &frequency)
{
    const QDateTime now = clock_.now();
    // Forgotten once too old, and when the clock was set back past them.
    asked_.removeIf([&](const Asked &a) {
        const qint64 age = a.at.msecsTo(now);
        return age < 0 || age > kAskedFrequencyMs;
    });
    const std::optional<qint64> hz = remote::frequencyTextToHertz(frequency);
    qsizetype i = 0;
    while (hz && i < asked_.size() && asked_.at(i).hz != *hz)
        ++i;
    if (!hz || i >= asked_.size() - 1) {
        // The last command's report, or news from the node: the display follows it.
        asked_.clear();
        return true;
    }
    asked_.remove(0, i + 1);
    return false;
}

void StationState::reportFrequency(const QString &frequency, const QString &modeWord)
{
    if (!modeWord.isEmpty())
        mode_ = modeWord;
    if (reportIsCurrent(frequency)) {
        setDisplay(frequency);
        setFrequency(frequency);
    }
    emit frequencyReported(frequency, modeWord);
}

void StationState::setLinkedNode(const QString &call)
{
    if (linkedNode_ == call)
        return;
    linkedNode_ = call;
    emit linkedNodeChanged(linkedNode_);
}

} // namespace tavrin::station
