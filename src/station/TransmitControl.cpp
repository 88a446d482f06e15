#include "station/TransmitControl.h"

#include "common/Clock.h"
#include "protocol/RemoteProtocol.h"
#include "protocol/TimeTexts.h"
#include "station/StationState.h"

#include <QTimer>

namespace tavrin::station {

TransmitControl::TransmitControl(StationState &state, const Clock &clock, QObject *parent)
    : QObject(parent), state_(state), clock_(clock)
{
    setObjectName(QStringLiteral("TransmitControl"));
    waitTimer_ = new QTimer(this);
    waitTimer_->setObjectName(QString::fromLatin1(kWaitTimerName));
    waitTimer_->setInterval(kDefaultWaitMs);
    waitTimer_->setSingleShot(true);
    pollTimer_ = new QTimer(this);
    pollTimer_->setObjectName(QString::fromLatin1(kPollTimerName));
    pollTimer_->setInterval(kPollMs);
    connect(waitTimer_, &QTimer::timeout, this, &TransmitControl::waitOver);
    connect(pollTimer_, &QTimer::timeout, this, &TransmitControl::pollLink);
}

bool TransmitControl::requestPending() const { return pollTimer_->isActive(); }

void TransmitControl::setRequestShown(bool shown)
{
    if (requestShown_ == shown)
        return;
    requestShown_ = shown;
    emit requestShownChanged(shown);
}

void TransmitControl::press(TransmitPort &port)
{
    if (state_.receiving()) {
        port.sendRequestLine(remote::transmitRequestLine(remote::defaultTimeText(clock_.now().time())));
        setRequestShown(true);
        bool ok = false;
        const int ms = requestWait_.trimmed().toInt(&ok);
        // A wait of 0 or less would end the request before it began; keep the last one.
        if (ok && ms > 0)
            waitTimer_->setInterval(ms);
        else
            port.reportProblem(QString::fromLatin1(kBadWait).arg(requestWait_).arg(waitTimer_->interval()));
        waitTimer_->start();
        pollTimer_->start();
        return;
    }
    if (!state_.stationConnected())
        return;
    toggle(port);
}

void TransmitControl::press()
{
    if (stationPort_)
        press(*stationPort_);
}

void TransmitControl::release()
{
    if (state_.transmitting() && stationPort_)
        toggle(*stationPort_);
}

void TransmitControl::toggle(TransmitPort &port)
{
    const bool key = !state_.transmitting();
    // A refused keying leaves the display at what the client still does.
    if (port.setTransmit(key))
        state_.setTransmitting(key);
}

void TransmitControl::waitOver()
{
    setRequestShown(false);
    waitTimer_->stop();
    pollTimer_->stop();
}

void TransmitControl::pollLink()
{
    if (state_.receiving())
        return;
    if (state_.stationConnected() && stationPort_)
        toggle(*stationPort_);
    pollTimer_->stop();
}

} // namespace tavrin::station
