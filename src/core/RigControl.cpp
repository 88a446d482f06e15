#include "core/RigControl.h"

#include "core/FrequencyController.h"
#include "core/MainWindow.h"
#include "core/Program.h"
#include "protocol/FrequencyText.h"
#include "station/StationState.h"
#include "station/TransmitControl.h"

#include <QTimer>

namespace tavrin::rig {

RigControl::RigControl(MainWindow &window, Program &program, QObject *parent)
    : QObject(parent), window_(window), program_(program)
{
    pttTimer_ = new QTimer(this);
    pttTimer_->setObjectName(QString::fromLatin1(kPttTimerName));
    pttTimer_->setSingleShot(true);
    connect(pttTimer_, &QTimer::timeout, this, &RigControl::RigPttTimer_Timer);
    actionTimer_ = new QTimer(this);
    actionTimer_->setObjectName(QString::fromLatin1(kActionTimerName));
    actionTimer_->setInterval(kActionIntervalMs);
    connect(actionTimer_, &QTimer::timeout, this, &RigControl::nextAction);
    connect(&window_.station(), &station::StationState::frequencyReported, this, &RigControl::frequencyReported);
    connect(&window_.station(), &station::StationState::frequencyRefused, this, &RigControl::frequencyRefused);
    connect(&window_.station(), &station::StationState::frequencyCommanded, this, &RigControl::frequencyCommanded);
    // The supervision tick rewrites the transmit state from the client: follow it from there.
    connect(window_.timer(3), &QTimer::timeout, this, &RigControl::followTransmitter);
}

void RigControl::setPttPolicy(bool allowPtt, int timeoutS)
{
    allowPtt_ = allowPtt;
    timeoutS_ = timeoutS;
    if (!allowPtt_ && owner_)
        release(QString::fromLatin1(kReleasedByClient));
}

qint64 RigControl::frequencyHz() const { return state_.frequencyHz(program_.clock().now().toMSecsSinceEpoch()); }

int RigControl::setFrequencyHz(qint64 hz)
{
    const qint64 truncated = hz - hz % kStepHz;
    if (truncated == frequencyHz())
        return kOk;
    if (!takeAction()) {
        heldFrequency_ = truncated;
        state_.commanded(truncated, program_.clock().now().toMSecsSinceEpoch());
        return kOk;
    }
    heldFrequency_.reset();
    return sendFrequency(truncated) ? kOk : kIoError;
}

bool RigControl::sendFrequency(qint64 hz)
{
    sending_ = true;
    const bool sent = window_.frequencyControl().sendFrequency(remote::hertzToFrequencyText(hz));
    sending_ = false;
    if (!sent)
        return false;
    state_.commanded(hz, program_.clock().now().toMSecsSinceEpoch());
    return true;
}

bool RigControl::takeAction()
{
    if (actionsLeft_ == 0)
        return false;
    --actionsLeft_;
    if (!actionTimer_->isActive())
        actionTimer_->start();
    return true;
}

void RigControl::nextAction()
{
    if (heldFrequency_) {
        const qint64 hz = *heldFrequency_;
        heldFrequency_.reset();
        // Answered as done already: when it cannot go out after all the status line says
        // why, and the answers go back to what the node last reported.
        if (!sendFrequency(hz))
            state_.cancelCommand();
        return;
    }
    if (++actionsLeft_ >= kActionBurst)
        actionTimer_->stop();
}

bool RigControl::transmitting() const { return window_.station().transmitting(); }

bool RigControl::requestPending() const { return window_.station().transmit().requestPending(); }

int RigControl::setPtt(int client, bool on)
{
    if (!on) {
        if (owner_)
            release(QString::fromLatin1(kReleasedByClient));
        return kOk;
    }
    if (!allowPtt_)
        return kUnavailable;
    // Already keyed, or a request already waits for the link: a repeated "T 1" changes nothing.
    if (transmitting() || requestPending())
        return kOk;
    if (!takeAction())
        return kRejected;
    window_.station().transmit().press();
    if (!transmitting() && !requestPending())
        return kRejected; // no station connected: the button does nothing either
    owner_ = client;
    pttTimer_->start(timeoutS_ * 1000);
    window_.showStatus(QString::fromLatin1(kKeyedByClient));
    return kOk;
}

void RigControl::release(const QString &why)
{
    pttTimer_->stop();
    owner_ = 0;
    station::TransmitControl &transmit = window_.station().transmit();
    if (requestPending())
        transmit.waitOver(); // the request is ours: call it off
    transmit.release();
    window_.showStatus(why);
}

void RigControl::clientClosed(int client)
{
    if (client == owner_)
        release(QString::fromLatin1(kReleasedOnClose));
}

void RigControl::RigPttTimer_Timer()
{
    if (owner_)
        release(QString::fromLatin1(kReleasedOnTimeout).arg(timeoutS_));
}

void RigControl::followTransmitter()
{
    if (owner_ && !transmitting() && !requestPending()) {
        owner_ = 0;
        pttTimer_->stop();
    }
}

void RigControl::frequencyReported(const QString &frequency, const QString &modeWord)
{
    const std::optional<qint64> hz = remote::frequencyTextToHertz(frequency);
    if (!hz)
        return;
    state_.reported(*hz, modeWord.toLatin1(), program_.clock().now().toMSecsSinceEpoch());
}

void RigControl::frequencyCommanded(qint64 hz)
{
    if (sending_)
        return;
    // The operator tuned from a panel after whatever a client asked for: that stands.
    heldFrequency_.reset();
    state_.commanded(hz, program_.clock().now().toMSecsSinceEpoch());
}

void RigControl::frequencyRefused(const QString &frequency)
{
    if (const std::optional<qint64> hz = remote::frequencyTextToHertz(frequency))
        state_.refused(*hz - *hz % kStepHz);
}

} // namespace tavrin::rig
