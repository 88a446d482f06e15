#include "core/ProtocolController.h"

#include "core/CommandPanels.h"
#include "core/FrequencyPanels.h"
#include "core/MainWindow.h"
#include "core/Program.h"
#include "protocol/TimeTexts.h"
#include "messaging/ChatFormat.h"
#include "station/StationState.h"

#include <QLabel>
#include <QPushButton>

namespace tavrin {

ProtocolController::ProtocolController(MainWindow &window, Program &program)
    : QObject(&window), window_(window), program_(program)
{
    if (EchoLinkClient *client = window_.client()) {
        connect(client, &EchoLinkClient::ChatTextReceived, this, &ProtocolController::EchoLink_ChatTextReceived);
        connect(client, &EchoLinkClient::RX, this, &ProtocolController::EchoLink_RX);
    }
    connect(window_.commandPanels().transmitButton, &QPushButton::clicked, this,
            &ProtocolController::Command1x_Click);
}

// --- incoming chat ----------------------------------------------------------------------

void ProtocolController::EchoLink_ChatTextReceived(const QString &line)
{
    useAutomationTimeouts(window_.client());
    answerVersionQuery(line);
    readFrequencyReport(line);
    readSysopMessage(line);
}

void ProtocolController::answerVersionQuery(const QString &line)
{
    if (!remote::isVersionQuery(line))
        return;
    ignoreErrors([this] { window_.requireClient().SendChatText(remote::versionAnswer()); });
}

void ProtocolController::readFrequencyReport(const QString &line)
{
    // A report that leaves no digit or point changes nothing.
    if (const std::optional<QString> refused = remote::refusedFrequency(line))
        window_.station().refuseFrequency(*refused);
    const std::optional<QString> frequency = remote::frequencyReport(line);
    if (!frequency)
        return;
    window_.station().reportFrequency(*frequency, remote::reportedModeWord(line));
}

void ProtocolController::refreshMarkers(const QString &localCallsign, const QString &extraCall)
{
    if (markersBuilt_ && localCallsign == markersCallsign_ && extraCall == markersExtraCall_)
        return;
    markers_ = remote::SysopMarkers(localCallsign, extraCall);
    markersCallsign_ = localCallsign;
    markersExtraCall_ = extraCall;
    markersBuilt_ = true;
}

void ProtocolController::readSysopMessage(const QString &line)
{
    // The callsign as the client reports it now; the one from start-up when it cannot say.
    const QString localCallsign =
        askOr(window_.localCallsign(), [this] { return window_.requireClient().StationCallsign(); });
    refreshMarkers(localCallsign, extraCall_);
    if (!markers_.foundIn(line.toUpper()))
        return;

    const QDateTime now = program_.clock().now();
    // The sender's line stays one entry: a line break of its own would let it write what
    // reads as a further entry, dated, from another station.
    const QString entry = remote::sysopLogEntry(remote::defaultDateText(now.date()),
                                                remote::defaultTimeText(now.time()), messaging::oneLine(line));
    emit sysopMessage(messaging::displayText(messaging::forLog(entry)));
    ignoreErrors([&] { window_.requireClient().SendChatText(remote::sysopAcknowledgement(localCallsign)); });
}

// --- receive indication -----------------------------------------------------------------

void ProtocolController::EchoLink_RX(bool receiving) { window_.station().setReceiving(receiving); }

// --- transmit control -------------------------------------------------------------------

void ProtocolController::Command1x_Click() { window_.station().transmit().press(*this); }

void ProtocolController::sendRequestLine(const QString &line)
{
    try {
        window_.requireClient().SendChatText(line);
    } catch (const std::exception &e) {
        window_.showSendProblem(QStringLiteral("Could not send \"%1\": %2").arg(line, QString::fromUtf8(e.what())));
        return;
    }
    window_.lineSent();
}

bool ProtocolController::setTransmit(bool key)
{
    useAutomationTimeouts(window_.client());
    try {
        window_.requireClient().SetTransmit(key);
    } catch (const std::exception &e) {
        window_.showProblem(MainWindow::Problem::Transmit,
                            QStringLiteral("%1: %2").arg(key ? QStringLiteral("Could not key the transmitter")
                                                             : QStringLiteral("Could not release the transmitter"),
                                                         QString::fromUtf8(e.what())));
        return false;
    }
    window_.problemSolved(MainWindow::Problem::Transmit);
    return true;
}

void ProtocolController::reportProblem(const QString &text) { window_.showStatus(text); }

} // namespace tavrin
