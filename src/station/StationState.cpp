#include "station/StationState.h"

#include "station/TransmitControl.h"

namespace tavrin::station {

StationState::StationState(const Clock &clock, QObject *parent) : QObject(parent)
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

void StationState::reportFrequency(const QString &frequency, const QString &modeWord)
{
    if (!modeWord.isEmpty())
        mode_ = modeWord;
    setFrequency(frequency);
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
