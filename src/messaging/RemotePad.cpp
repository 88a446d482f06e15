#include "messaging/RemotePad.h"

#include "audio/GradH.h"
#include "common/WindowNames.h"
#include "messaging/ChatBox.h"
#include "messaging/ChatFormat.h"
#include "messaging/SendFailureTexts.h"
#include "protocol/FrequencyText.h"
#include "station/StationState.h"
#include "ui/OwnColours.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>

namespace tavrin::messaging {

namespace {


// Own chat lines in the logs: callsign + ">:" + text.
constexpr char kOwnLineJoin[] = ">:";

constexpr char kKeyFailed[] = "Could not key the transmitter: %1";
constexpr char kReleaseFailed[] = "Could not release the transmitter: %1";

const QColor kRed(255, 0, 0);
const QColor kLightGrey(192, 192, 192);
constexpr int kExtraLogHeight = 40;

} // namespace

RemotePad::RemotePad(WindowRegistry &registry, const Clock &clock, station::StationState &state,
                     std::unique_ptr<RemotePadHost> host, Fields fields)
    : registry_(registry), clock_(clock), state_(state), host_(std::move(host)),
      frequencyText_(QLatin1String(padtexts::kNoFrequency))
{
    setObjectName(QLatin1String(windows::kRemotePad));
    setWindowTitle(QLatin1String(padtexts::kCaption));
    meter_ = buildPadMeter(this);
    log_ = buildPadLog(this);
    render();
    if (fields == Fields::Now)
        ensureBuilt();
}

void RemotePad::ensureBuilt()
{
    if (c_.status)
        return;
    c_ = buildRemotePadControls(this, meter_, log_);
    wire();
    // Compact: the chat log starts short and grows with the window. Sized with the controls
    // as they look at load, as a pad built then was.
    adjustSize();
    resize(width(), minimumSizeHint().height() + kExtraLogHeight);

    // From here on the controls hold what the members held.
    if (c_.frequency->text() != frequencyText_)
        c_.frequency->setText(frequencyText_);
    if (!stationListText_.isEmpty())
        c_.stationList->setPlainText(stationListText_);
    c_.status->setText(statusText_);
    showReceiving(state_.receiving());
    showTransmitState(state_.transmitting());
    showRequestNotice(state_.transmit().requestShown());
}

void RemotePad::setVisible(bool visible)
{
    const bool opening = visible && !isVisible();
    if (visible)
        ensureBuilt();
    QWidget::setVisible(visible);
    // The pad opens with the keys in its send line (where every key of the pad leaves them),
    // or in the frequency entry being typed: on a button, the first space would press it (the
    // first is "x", which hides the pad again).
    if (opening && focusWidget() != c_.entry)
        c_.sendLine->setFocus(Qt::OtherFocusReason);
}

RemotePad::~RemotePad() = default;

void RemotePad::wire()
{
    for (int d = 0; d < 10; ++d)
        connect(c_.digits.at(d), &QPushButton::clicked, this, [this, d] { appendDigit(d); });
    connect(c_.point, &QPushButton::clicked, this, &RemotePad::appendPoint);
    connect(c_.clear, &QPushButton::clicked, this, &RemotePad::clearEntry);
    connect(c_.enter, &QPushButton::clicked, this, &RemotePad::Command35_Click);
    // Return in the entry is Enter, as on the main window's keypads.
    connect(c_.entry, &QLineEdit::returnPressed, this, &RemotePad::Command35_Click);
    for (std::size_t k = 0; k < kPadSteps.size(); ++k) {
        const long long delta = kPadSteps.at(k).tenThousandths;
        connect(c_.steps.at(k), &QPushButton::clicked, this, [this, delta] { step(delta); });
    }
    connect(c_.transmit, &QPushButton::clicked, this, &RemotePad::Command1x_Click);
    connect(c_.send, &QPushButton::clicked, this, &RemotePad::Send_Click);
    connect(c_.sendLine, &QLineEdit::returnPressed, this, &RemotePad::Send_Click);
    connect(c_.hide, &QPushButton::clicked, this, &QWidget::hide);
    connect(c_.showMain, &QPushButton::clicked, this, &RemotePad::showMainWindow);
    // A read-only log takes its clicks on the viewport.
    c_.chatLog->viewport()->installEventFilter(this);
}

void RemotePad::Form_Load(std::unique_ptr<EchoLinkClient> client)
{
    client_ = std::move(client);
    onTop_.MakeTopMost(this);
    meter_->StartVU();
}

bool RemotePad::eventFilter(QObject *watched, QEvent *event)
{
    // A click shows the chat window. A drag that selects text, or a right click for the menu,
    // is the operator copying from the log: the chat window would take the keys (Ctrl+C) and
    // the menu.
    if (c_.chatLog && watched == c_.chatLog->viewport() && logClick_.clicked(event))
        showChatWindow();
    return QWidget::eventFilter(watched, event);
}

// --- keypad -----------------------------------------------------------------------------

void RemotePad::appendDigit(int digit)
{
    ensureBuilt();
    const QString d = QString::number(digit);
    c_.entry->setText(c_.entry->text() + d);
    host_->appendToEntries(d);
    focusSendLine();
}

void RemotePad::appendPoint()
{
    ensureBuilt();
    // The pad's own entry decides, as keypad 1's does on the main window.
    if (remote::canAppendPoint(c_.entry->text())) {
        const QString point = QStringLiteral(".");
        c_.entry->setText(c_.entry->text() + point);
        host_->appendToEntries(point);
    }
    focusSendLine();
}

void RemotePad::clearEntry()
{
    ensureBuilt();
    c_.entry->clear();
    host_->clearEntries();
    focusSendLine();
}

void RemotePad::Command35_Click()
{
    ensureBuilt();
    const QString typed = remote::withDecimalPoint(c_.entry->text());
    if (!typed.isEmpty()) {
        // No frequency: nothing changes, and the entry stays to be put right.
        if (!remote::isSendableFrequency(typed)) {
            showStatus(remote::frequencyRefusal(c_.entry->text()));
            return;
        }
        // As the main window's Enter: the display keeps the text as typed, unless the four
        // decimals that go out change its value; then it shows what was sent.
        const QString sent = remote::formatFrequency(typed);
        state_.setDisplay(remote::roundsWhenFormatted(typed) ? sent : typed);
        state_.setFrequency(sent);
        const QString line = remote::frequencyCommandLine(typed, clock_.now().time());
        // On a failed send every entry keeps what was typed, so Enter can simply be pressed again.
        if (!send(line))
            return;
    }
    clearEntry();
}

void RemotePad::step(long long tenThousandths)
{
    const QString from = remote::withDecimalPoint(state_.display());
    if (const QString refusal = remote::stepRefusal(from, tenThousandths); !refusal.isEmpty()) {
        showStatus(refusal);
        return;
    }
    if (const std::optional<QString> stepped = remote::addStep(from, tenThousandths))
        state_.setDisplay(*stepped);
    const QString shown = state_.display();
    state_.setFrequency(remote::formatFrequency(shown));
    send(remote::frequencyCommandLine(shown, clock_.now().time()));
}

// --- transmit ---------------------------------------------------------------------------

void RemotePad::Command1x_Click() { state_.transmit().press(*this); }

void RemotePad::sendRequestLine(const QString &line) { send(line); }

bool RemotePad::setTransmit(bool key)
{
    try {
        if (!client_)
            throw EchoLinkError(sendtexts::kNoClient);
        client_->SetTransmit(key);
    } catch (const std::exception &e) {
        transmitProblem_ = QString::fromLatin1(key ? kKeyFailed : kReleaseFailed).arg(QString::fromUtf8(e.what()));
        showStatus(transmitProblem_);
        return false;
    }
    // The client took it: an earlier failure no longer holds.
    if (!transmitProblem_.isEmpty() && statusText_ == transmitProblem_)
        showStatus({});
    transmitProblem_.clear();
    return true;
}

void RemotePad::reportProblem(const QString &text) { showStatus(text); }

// --- what the station model shows ---------------------------------------------------------

void RemotePad::render()
{
    connect(&state_, &station::StationState::receivingChanged, this, &RemotePad::showReceiving);
    connect(&state_, &station::StationState::transmittingChanged, this, &RemotePad::showTransmitState);
    connect(&state_.transmit(), &station::TransmitControl::requestShownChanged, this,
            &RemotePad::showRequestNotice);
}

void RemotePad::showReceiving(bool receiving)
{
    if (!c_.receiveIndicator)
        return;
    c_.receiveIndicator->setText(
        QLatin1String(receiving ? padtexts::kReceivingText : padtexts::kNotReceivingText));
    ui::setOwnBackground(c_.receiveIndicator, receiving ? kRed : ui::kDesktopButtonFace);
}

void RemotePad::showTransmitState(bool transmitting)
{
    if (!c_.transmitState)
        return;
    c_.transmitState->setText(
        QLatin1String(transmitting ? padtexts::kTransmittingText : padtexts::kReceiveModeText));
    ui::setOwnBackground(c_.transmitState, transmitting ? kRed : ui::kDesktopButtonFace);
    ui::setOwnBackground(c_.transmit, transmitting ? kRed : kLightGrey);
    c_.meterFrame->setVisible(transmitting);
}

void RemotePad::showRequestNotice(bool shown)
{
    if (c_.requestNotice)
        c_.requestNotice->setVisible(shown);
}

void RemotePad::showStationList(const QString &list)
{
    stationListText_ = list;
    if (!c_.stationList)
        return;
    if (list.isEmpty()) {
        if (!c_.stationList->document()->isEmpty())
            c_.stationList->clear();
    } else if (c_.stationList->toPlainText() != list) {
        // The same list again leaves the box alone: the operator may be selecting a call in it.
        c_.stationList->setPlainText(list);
    }
}

void RemotePad::showFrequency(const QString &withUnit)
{
    frequencyText_ = withUnit;
    if (c_.frequency && c_.frequency->text() != withUnit)
        c_.frequency->setText(withUnit);
}

void RemotePad::appendChatLog(const QString &line)
{
    appendToLog(log_, line);
    caretToEnd(log_);
}

void RemotePad::stopMeter() { meter_->StopVU(); }

// --- chat line --------------------------------------------------------------------------

void RemotePad::Send_Click()
{
    ensureBuilt();
    const QString text = c_.sendLine->text();
    // Nothing typed is lost on a failure, and no log claims the line went out.
    if (!send(text))
        return;
    const QString line = localCallsign() + QLatin1String(kOwnLineJoin) + text + QLatin1String(chattexts::kCrLf);
    appendToLog(c_.chatLog, line);
    emit ownLineSent(line);
    c_.sendLine->clear();
    caretToEnd(c_.chatLog);
    focusSendLine();
}

QString RemotePad::localCallsign()
{
    lastCallsign_ = askOr(lastCallsign_, [this] {
        if (!client_)
            throw EchoLinkError(sendtexts::kNoClient);
        return client_->StationCallsign();
    });
    return lastCallsign_;
}

// --- windows ----------------------------------------------------------------------------

void RemotePad::showChatWindow() { registry_.bringUp(QLatin1String(windows::kChatWindow)); }

void RemotePad::showMainWindow()
{
    hide();
    registry_.bringUp(QLatin1String(windows::kMainWindow));
}

// --- helpers ----------------------------------------------------------------------------

bool RemotePad::send(const QString &line)
{
    try {
        if (!client_)
            throw EchoLinkError(sendtexts::kNoClient);
        client_->SendChatText(line);
    } catch (const std::exception &e) {
        showStatus(QString::fromLatin1(sendtexts::kNotSent).arg(QString::fromUtf8(e.what())));
        return false;
    }
    state_.lineSent(line);
    showStatus({});
    return true;
}

void RemotePad::showStatus(const QString &text)
{
    statusText_ = text;
    if (c_.status)
        c_.status->setText(text);
}

void RemotePad::focusSendLine()
{
    ensureBuilt();
    c_.sendLine->setFocus(Qt::OtherFocusReason);
}

} // namespace tavrin::messaging
