#include "core/ProtocolController.h"

#include "core/CommandPanels.h"
#include "core/CoreTexts.h"
#include "core/FrequencyPanels.h"
#include "core/MainWindow.h"
#include "core/Program.h"
#include "core/StationPanel.h"
#include "core/WidgetColors.h"
#include "protocol/TimeTexts.h"
#include "messaging/ChatFormat.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

namespace tavrin {

namespace {

inline constexpr char kExtraCall[] = "ExtraCall";
inline constexpr char kSysopLog[] = "Text1";
inline constexpr char kReceiveIndicator[] = "PTT1";
inline constexpr char kTransmitState[] = "Label3";
inline constexpr char kRequestNotice[] = "Frame11";
inline constexpr char kBadWait[] = "The transmit wait \"%1\" is not a whole number of milliseconds; kept %2 ms";

QString textOf(const QWidget *w)
{
    if (const auto *e = qobject_cast<const QLineEdit *>(w))
        return e->text();
    if (const auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (const auto *p = qobject_cast<const QPlainTextEdit *>(w))
        return p->toPlainText();
    if (const auto *t = qobject_cast<const QTextEdit *>(w))
        return t->toPlainText();
    return {};
}

void setTextOf(QWidget *w, const QString &text)
{
    if (auto *e = qobject_cast<QLineEdit *>(w))
        e->setText(text);
    else if (auto *l = qobject_cast<QLabel *>(w))
        l->setText(text);
    else if (auto *b = qobject_cast<QAbstractButton *>(w))
        b->setText(text);
}

// Appends plain text at the end of a log box and leaves the caret there.
void appendToLog(QWidget *w, const QString &text)
{
    if (auto *p = qobject_cast<QPlainTextEdit *>(w)) {
        p->moveCursor(QTextCursor::End);
        p->insertPlainText(text);
        p->moveCursor(QTextCursor::End);
    } else if (auto *t = qobject_cast<QTextEdit *>(w)) {
        t->moveCursor(QTextCursor::End);
        t->insertPlainText(text);
        t->moveCursor(QTextCursor::End);
    } else if (auto *e = qobject_cast<QLineEdit *>(w)) {
        e->setText(e->text() + text);
        e->end(false);
    }
}

// A label or field read as a number the way the old panel did: what does not read as one
// counts as 0.
double numberIn(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok ? value : 0.0;
}

} // namespace

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

QWidget *ProtocolController::padControl(const char *name) const
{
    return program_.registry().control<QWidget>(QString::fromLatin1(texts::kRemotePad), QString::fromLatin1(name));
}

void ProtocolController::reportFailure(const QString &what, const std::exception &e)
{
    window_.showStatus(QStringLiteral("%1: %2").arg(what, QString::fromUtf8(e.what())));
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
    const std::optional<QString> frequency = remote::frequencyReport(line);
    if (!frequency)
        return;
    FrequencyPanels &f = window_.frequencyPanels();
    f.frequency->setText(*frequency);
    f.display->setText(*frequency);
    emit frequencyReportRead(*frequency, remote::reportedModeWord(line));
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
    if (!extraCallBox_)
        extraCallBox_ = program_.registry().control<QWidget>(QString::fromLatin1(texts::kChatWindow),
                                                             QString::fromLatin1(kExtraCall));
    refreshMarkers(localCallsign, extraCallBox_ ? textOf(extraCallBox_) : QString());
    if (!markers_.foundIn(line.toUpper()))
        return;

    const QDateTime now = program_.clock().now();
    const QString entry =
        remote::sysopLogEntry(remote::defaultDateText(now.date()), remote::defaultTimeText(now.time()), line);
    if (QWidget *log =
            program_.registry().control<QWidget>(QString::fromLatin1(texts::kSysopBox), QString::fromLatin1(kSysopLog))) {
        appendToLog(log, messaging::forLog(entry));
        QWidget *box = log->window();
        box->show();
        box->raise();
    }
    ignoreErrors([&] { window_.requireClient().SendChatText(remote::sysopAcknowledgement(localCallsign)); });
}

// --- receive indication -----------------------------------------------------------------

void ProtocolController::EchoLink_RX(bool receiving)
{
    const QString text = QString::fromLatin1(receiving ? remote::kReceivingText : remote::kNotReceivingText);
    const QColor colour = receiving ? kRed : buttonFace();
    QWidget *indicator = window_.commandPanels().receiveIndicator;
    setTextOf(indicator, text);
    setBackColor(indicator, colour);
    if (QWidget *pad = padControl(kReceiveIndicator)) {
        setTextOf(pad, text);
        setBackColor(pad, colour);
    }
}

// --- transmit control -------------------------------------------------------------------

bool ProtocolController::linkBusy() const
{
    return window_.commandPanels().receiveIndicator->text() == QLatin1String(remote::kReceivingText);
}

bool ProtocolController::stationConnected() const
{
    return numberIn(window_.stationPanel().stationCount->text()) > 0;
}

void ProtocolController::showTransmitState(bool transmitting, bool alsoPad)
{
    const QString text = QString::fromLatin1(transmitting ? remote::kTransmittingText : kReceiveModeText);
    const QColor colour = transmitting ? kRed : buttonFace();
    QLabel *state = window_.commandPanels().transmitState;
    state->setText(text);
    setBackColor(state, colour);
    if (!alsoPad)
        return;
    if (QWidget *pad = padControl(kTransmitState)) {
        setTextOf(pad, text);
        setBackColor(pad, colour);
    }
}

void ProtocolController::toggleTransmitter(bool alsoPad)
{
    const bool key = !window_.TxState;
    // Errors ignored step by step: the state and display change even when the client
    // refused; the supervision tick puts them right within 300 ms.
    try {
        window_.requireClient().SetTransmit(key);
    } catch (const std::exception &e) {
        reportFailure(key ? QStringLiteral("Could not key the transmitter") : QStringLiteral("Could not release the transmitter"), e);
    }
    window_.TxState = key;
    showTransmitState(key, alsoPad);
}

void ProtocolController::showRequestNotices(bool shown)
{
    window_.commandPanels().requestNotice->setVisible(shown);
    if (QWidget *pad = padControl(kRequestNotice))
        pad->setVisible(shown);
}

void ProtocolController::Command1x_Click()
{
    if (linkBusy()) {
        const QString line = remote::transmitRequestLine(remote::defaultTimeText(program_.clock().now().time()));
        try {
            window_.requireClient().SendChatText(line);
        } catch (const std::exception &e) {
            reportFailure(QStringLiteral("Could not send \"%1\"").arg(line), e);
        }
        showRequestNotices(true);
        QTimer *wait = window_.timer(6);
        const QString waitText = window_.commandPanels().requestWait->text();
        bool ok = false;
        const int ms = waitText.trimmed().toInt(&ok);
        // A wait of 0 or less would end the request before it began; keep the last one.
        if (ok && ms > 0)
            wait->setInterval(ms);
        else
            window_.showStatus(QString::fromLatin1(kBadWait).arg(waitText).arg(wait->interval()));
        wait->start();
        window_.timer(7)->start();
        return;
    }
    if (!stationConnected())
        return;
    toggleTransmitter(false);
}

void ProtocolController::releaseTransmitter()
{
    if (window_.TxState)
        toggleTransmitter(true);
}

void ProtocolController::Timer6_Timer()
{
    showRequestNotices(false);
    window_.timer(6)->stop();
    window_.timer(7)->stop();
}

void ProtocolController::Timer7_Timer()
{
    if (window_.commandPanels().receiveIndicator->text() != QLatin1String(remote::kNotReceivingText))
        return;
    if (stationConnected())
        toggleTransmitter(true);
    window_.timer(7)->stop();
}

} // namespace tavrin
