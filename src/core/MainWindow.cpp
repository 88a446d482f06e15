#include "core/MainWindow.h"

#include "core/CommandPanels.h"
#include "core/Controls.h"
#include "core/CoreTexts.h"
#include "core/FrequencyController.h"
#include "core/FrequencyPanels.h"
#include "core/Pictures.h"
#include "core/Program.h"
#include "core/ProtocolController.h"
#include "core/StationController.h"
#include "core/StationPanel.h"
#include "core/UserCommandButtons.h"
#include "core/WidgetColors.h"
#include "audio/GradH.h"
#include "audio/VU.h"
#include "messaging/ChatBox.h"
#include "messaging/ChatFormat.h"
#include "messaging/RemotePad.h"
#include "messaging/SysopBox.h"
#include "protocol/RemoteProtocol.h"
#include "station/StationState.h"
#include "station/TransmitControl.h"
#include "ui/OwnColours.h"
#include "ui/TabOrder.h"

#include "BuildConfig.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace tavrin {

namespace {

struct TimerSpec {
    int intervalMs;
    bool singleShot;
    bool runningAtStart;
};
// Timer1 ... Timer5; the transmit control owns Timer6 and Timer7.
constexpr TimerSpec kTimers[5] = {
    {5000, true, false}, {10000, true, false}, {300, false, true}, {1000, false, true}, {5000, true, false},
};
// A line longer than a screen's width only costs the last-line box layout time.
constexpr qsizetype kLastLineLimit = 1024;

// Puts `text` in place of a one-line box's text. setPlainText() would throw the document's
// layout away and lay out twice, then scroll to the caret: at every chat line that cost more
// than writing the line into the log.
void replaceLine(QTextEdit *box, const QString &text)
{
    QTextDocument *doc = box->document();
    // Never edited back: an undo history would keep every line.
    if (doc->isUndoRedoEnabled())
        doc->setUndoRedoEnabled(false);
    // Inside an edit block the cursor leaves its x position to be worked out when asked,
    // which nothing here does: no second pass over the line for it.
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.insertText(text, QTextCharFormat());
    cursor.endEditBlock();
    box->horizontalScrollBar()->setValue(0);
}

} // namespace

MainWindow::MainWindow(Program &program, std::unique_ptr<EchoLinkClient> client)
    : program_(program), client_(std::move(client))
{
    setObjectName(QString::fromLatin1(texts::kMainWindow));
    setWindowTitle(QStringLiteral(TAVRIN_PRODUCT_NAME));
    state_ = new station::StationState(program_.clock(), this);
    buildLayout();
    buildMenus();
    buildTimers();
    wireControls();
    new UserCommandButtons(*this, program_); // child QObject: Command81 ... Command92
    stations_ = new StationController(*this, program_);
    frequencyControl_ = new FrequencyController(*this, program_);
    protocol_ = new ProtocolController(*this, program_);
    state_->transmit().setStationPort(protocol_);
    renderStation();
    if (client_)
        connect(client_.get(), &EchoLinkClient::Closing, this, &MainWindow::EchoLink_Closing);
}

MainWindow::~MainWindow() = default;

namespace {

// The panels that come and go, in a scroll area that asks for their full height when the
// window has room and scrolls them only when it has not (a small screen, many panels open).
class PanelArea : public QScrollArea {
public:
    explicit PanelArea(QWidget *parent) : QScrollArea(parent)
    {
        setObjectName(QStringLiteral("PanelArea"));
        setFrameShape(QFrame::NoFrame);
        setWidgetResizable(true);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    }

    // Panels side by side on one line; the area is always as wide as its widest line with
    // every panel open, so opening one never widens the window or squeezes the controls.
    void addLine(QVBoxLayout *lines, const QList<QWidget *> &panels)
    {
        auto *line = new QHBoxLayout;
        for (QWidget *w : panels)
            line->addWidget(w, 0, Qt::AlignTop);
        line->addStretch(1);
        lines->addLayout(line);
        lines_ << panels;
    }

    QSize sizeHint() const override
    {
        if (!widget())
            return {};
        int width = 0;
        for (const QList<QWidget *> &line : lines_) {
            int sum = 0;
            for (QWidget *w : line)
                sum += w->sizeHint().width() + kSpacing;
            width = qMax(width, sum);
        }
        // Room for a scroll bar, so a scrolled panel never hides its right edge.
        return {width + verticalScrollBar()->sizeHint().width(), widget()->sizeHint().height()};
    }
    QSize minimumSizeHint() const override { return {sizeHint().width(), 0}; }

private:
    static constexpr int kSpacing = 8;
    QList<QList<QWidget *>> lines_;
};

} // namespace

void MainWindow::buildLayout()
{
    auto *central = new QWidget(this);
    setCentralWidget(central);
    auto *panelArea = new PanelArea(central);
    auto *panelHost = new QWidget;
    frequency_ = std::make_unique<FrequencyPanels>(central);
    commands_ = std::make_unique<CommandPanels>(central);
    station_ = std::make_unique<StationPanel>(central);

    // Left: what the operator watches and hits most, always the same size, so the frequency
    // frame never moves as panels come and go.
    auto *leftHost = new QWidget(central);
    leftHost->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto *left = new QVBoxLayout(leftHost);
    left->setContentsMargins(0, 0, 0, 0);
    auto *topRow = new QHBoxLayout;
    topRow->addWidget(frequency_->displayBox, 1);
    topRow->addWidget(station_->identityBox);
    left->addLayout(topRow);
    left->addWidget(frequency_->bandBox);
    auto *middleRow = new QHBoxLayout;
    middleRow->addWidget(station_->nodeBox, 1);
    middleRow->addWidget(commands_->transmitBox);
    left->addLayout(middleRow);
    left->addWidget(commands_->toolStrip);
    left->addStretch(1);

    // Right: the open panels on top, the chat under them taking whatever height is left.
    const QList<QWidget *> switched = {frequency_->presetPanel, frequency_->keypadPanel, frequency_->stepsPanel,
                                       frequency_->userPanel,   commands_->userButtonPanel, commands_->chooserPanel,
                                       commands_->requestNotice};
    for (QWidget *panel : switched) {
        panel->setParent(panelHost);
        panel->setVisible(false);
        panel->installEventFilter(this);
        if (panel != commands_->requestNotice)
            focusBeforePanel_.insert(panel, nullptr);
    }
    auto *panels = new QVBoxLayout(panelHost);
    panels->setContentsMargins(0, 0, 0, 0);
    // One panel's width a line, give or take: with the controls beside them the window
    // still fits a 1280-pixel screen. The two ways of typing a frequency share a line.
    panelArea->addLine(panels, {frequency_->presetPanel});
    panelArea->addLine(panels, {frequency_->keypadPanel, frequency_->userPanel});
    panelArea->addLine(panels, {frequency_->stepsPanel});
    panelArea->addLine(panels, {commands_->userButtonPanel});
    panelArea->addLine(panels, {commands_->chooserPanel});
    panels->addWidget(commands_->requestNotice);
    panels->addStretch(1);
    panelArea->setWidget(panelHost);
    // The area only holds the panels: Tab goes to their controls, never to the area itself
    // (which, with every panel closed, has no height to show a focus in).
    panelArea->setFocusPolicy(Qt::NoFocus);
    panelArea_ = panelArea;
    commands_->meterFrame->setVisible(false);
    buildMeter();

    auto *right = new QVBoxLayout;
    right->addWidget(panelArea);
    right->addWidget(station_->chatBox, 1);

    auto *whole = new QHBoxLayout(central);
    whole->addWidget(leftHost, 0);
    whole->addLayout(right, 1);

    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("StatusLine"));
    // Reports quote what others wrote (a caller's callsign, a typed entry): shown as written.
    statusLine_->setTextFormat(Qt::PlainText);
    statusBar()->addWidget(statusLine_, 1);

    setTabChainAsShown();

    // Clicking either chat box opens the chat window.
    station_->lastLine->viewport()->installEventFilter(this);
    station_->chatLog->viewport()->installEventFilter(this);
}

void MainWindow::setTabChainAsShown()
{
    const FrequencyPanels &f = *frequency_;
    const CommandPanels &c = *commands_;
    const StationPanel &s = *station_;
    QList<QWidget *> chain;
    // Left column, top to bottom, each frame along its rows.
    chain << f.frequency << f.keypadPicture2;
    for (QWidget *w : f.bandOptions)
        chain << w;
    for (QWidget *w : f.bandButtons)
        chain << w;
    for (int k = 0; k < StationPanel::kSets; ++k)
        chain << s.setOptions.at(k) << s.nodeButtons.at(k) << s.linkToggles.at(k);
    chain << s.disconnectAll << s.lastStation;
    chain << c.transmitButton << c.requestWait;
    chain << c.keypadPicture << c.stepsPicture << c.chooserPicture << c.remotePadPicture << c.playbackPicture
          << c.recordingPicture;
    // Right column: the panels in their lines, then the chat.
    for (QWidget *w : f.presetButtons)
        chain << w;
    chain << f.keypadEntry << digitsAsTheyStand(f.keypadDigits) << f.keypadPoint << f.keypadClear << f.keypadEnter
          << f.keypadClose;
    for (int j = 0; j < FrequencyPanels::kUserFrequencies; ++j)
        chain << f.userFrequencies.at(j) << f.userSelectButtons.at(j);
    chain << f.userSave << f.userHide;
    // Steps: the down row, then the up row, each from the smallest step; then the keypad beside them.
    chain << f.frequencyWithUnit;
    for (int i : {1, 2, 0, 3, 5, 6, 4, 7})
        chain << f.stepButtons.at(size_t(i));
    chain << f.stepsClose << f.stepsEntry << digitsAsTheyStand(f.stepsDigits) << f.stepsPoint << f.stepsClear
          << f.stepsEnter;
    for (QWidget *w : c.userButtons)
        chain << w;
    chain << c.setupButtons << c.hideUserButtons;
    chain << c.chooseFrequencies << c.chooseCommands << c.hideChooser;
    chain << s.lastLine << s.chatLog << s.clearChat << s.stationList;
    setTabChain(chain);
}

void MainWindow::buildTimers()
{
    for (int i = 0; i < 5; ++i) {
        auto *t = new QTimer(this);
        t->setObjectName(QStringLiteral("Timer%1").arg(i + 1));
        t->setInterval(kTimers[i].intervalMs);
        t->setSingleShot(kTimers[i].singleShot);
        timers_[i] = t;
    }
    connect(timers_[0], &QTimer::timeout, this, &MainWindow::Timer1_Timer);
    connect(timers_[1], &QTimer::timeout, this, &MainWindow::Timer2_Timer);
    connect(timers_[2], &QTimer::timeout, this, &MainWindow::Timer3_Timer);
    connect(timers_[3], &QTimer::timeout, this, &MainWindow::Timer4_Timer);
    connect(timers_[4], &QTimer::timeout, this, &MainWindow::Timer5_Timer);
    for (int i = 0; i < 5; ++i)
        if (kTimers[i].runningAtStart)
            timers_[i]->start();
}

QTimer *MainWindow::timer(int number) const
{
    if (number == 6)
        return state_->transmit().waitTimer();
    if (number == 7)
        return state_->transmit().pollTimer();
    return timers_[number - 1];
}

void MainWindow::renderStation()
{
    CommandPanels &c = *commands_;
    const auto showReceiving = [&c](bool receiving) {
        c.receiveIndicator->setText(QString::fromLatin1(receiving ? remote::kReceivingText : remote::kNotReceivingText));
        setBackColor(c.receiveIndicator, receiving ? kRed : ui::kDesktopButtonFace);
    };
    const auto showTransmitting = [&c](bool transmitting) {
        c.transmitState->setText(QString::fromLatin1(transmitting ? remote::kTransmittingText : kReceiveModeText));
        setBackColor(c.transmitState, transmitting ? kRed : ui::kDesktopButtonFace);
        setBackColor(c.transmitButton, transmitting ? kRed : kLightGrey);
        c.meterFrame->setVisible(transmitting);
    };
    const auto showCount = [this](int count) { station_->stationCount->setText(QString::number(count)); };
    const auto showFrequency = [this](const QString &frequency) {
        if (frequency_->frequency->text() != frequency)
            frequency_->frequency->setText(frequency);
    };
    const auto showDisplay = [this](const QString &text) { frequency_->showOnDisplay(text); };
    const auto showLinkedNode = [this](const QString &call) {
        if (station_->lastStation->text() != call)
            station_->lastStation->setText(call);
    };
    connect(state_, &station::StationState::receivingChanged, this, showReceiving);
    connect(state_, &station::StationState::transmittingChanged, this, showTransmitting);
    connect(state_, &station::StationState::stationCountChanged, this, showCount);
    connect(state_, &station::StationState::frequencyChanged, this, showFrequency);
    connect(state_, &station::StationState::displayChanged, this, showDisplay);
    connect(state_, &station::StationState::linkedNodeChanged, this, showLinkedNode);
    connect(&state_->transmit(), &station::TransmitControl::requestShownChanged, c.requestNotice,
            &QWidget::setVisible);
    // The editable fields are the operator's way to set what they show.
    connect(frequency_->frequency, &QLineEdit::textChanged, state_, &station::StationState::setFrequency);
    connect(station_->lastStation, &QLineEdit::textChanged, state_, &station::StationState::setLinkedNode);
    connect(c.requestWait, &QLineEdit::textChanged, &state_->transmit(), &station::TransmitControl::setRequestWait);
    state_->transmit().setRequestWait(c.requestWait->text());
    state_->setFrequency(frequency_->frequency->text());
    showDisplay(state_->display());
    state_->setLinkedNode(station_->lastStation->text());
    showReceiving(state_->receiving());
    showTransmitting(state_->transmitting());
    showCount(state_->stationCount());
}

void MainWindow::showChatLine(const QString &tag, const QString &shown, const QString &message)
{
    messaging::appendToLog(station_->chatLog, tag + shown + QLatin1String(messaging::chattexts::kCrLf));
    QString last = messaging::displayText(messaging::oneLine(tag + message));
    if (last.size() > kLastLineLimit)
        last = messaging::leftWhole(last, kLastLineLimit) + QChar(0x2026);
    replaceLine(station_->lastLine, last);
    station_->lastLine->setVisible(true);
    timers_[0]->start();
    messaging::caretToEnd(station_->chatLog);
}

EchoLinkClient &MainWindow::requireClient() const
{
    if (!client_)
        throw EchoLinkError(texts::kNoClient);
    return *client_;
}

void MainWindow::showStatus(const QString &text) { statusLine_->setText(text); }

QString MainWindow::statusText() const { return statusLine_->text(); }

void MainWindow::showSendProblem(const QString &text)
{
    sendProblem_ = text;
    showStatus(text);
}

void MainWindow::lineSent()
{
    // The client took a line: an earlier refusal or failure no longer holds.
    if (!sendProblem_.isEmpty() && statusText() == sendProblem_)
        showStatus(QString());
    sendProblem_.clear();
}

void MainWindow::showProblem(Problem kind, const QString &text)
{
    problems_[int(kind)] = text;
    showStatus(text);
}

void MainWindow::problemSolved(Problem kind)
{
    QString &shown = problems_[int(kind)];
    if (!shown.isEmpty() && statusText() == shown)
        showStatus(QString());
    shown.clear();
}

// --- timers ---------------------------------------------------------------------------

void MainWindow::Timer1_Timer()
{
    useAutomationTimeouts(client_.get());
    station_->lastLine->setVisible(false);
    timers_[0]->stop();
}

void MainWindow::Timer2_Timer()
{
    useAutomationTimeouts(client_.get());
    frequency_->presetPanel->setVisible(false);
    timers_[1]->stop();
}

void MainWindow::Timer3_Timer()
{
    useAutomationTimeouts(client_.get());
    stations_->Timer3_Timer();
}

void MainWindow::Timer4_Timer()
{
    useAutomationTimeouts(client_.get());
    stations_->Timer4_Timer();
}

void MainWindow::Timer5_Timer()
{
    useAutomationTimeouts(client_.get());
    ignoreErrors([this] { requireClient().SendChatText(QString::fromLatin1(remote::kFrequencyQuery)); });
    timers_[4]->stop();
}

void MainWindow::Timer6_Timer()
{
    useAutomationTimeouts(client_.get());
    state_->transmit().waitOver();
}

void MainWindow::Timer7_Timer()
{
    useAutomationTimeouts(client_.get());
    state_->transmit().pollLink();
}

// --- events ---------------------------------------------------------------------------

void MainWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    // Once the program is ending, windows close without saving again.
    if (program_.isEnding())
        return;
    saveAndEnd();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // A panel opened or closed: the panel area asks for a new height (the chat gives or takes it).
    // Laid out at once, so a panel's keys sit where they are drawn from the first click on.
    if ((event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent) && panelArea_) {
        panelArea_->updateGeometry();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    }
    if (event->type() == QEvent::ShowToParent && focusBeforePanel_.contains(watched))
        rememberFocusFor(static_cast<QWidget *>(watched));
    else if (event->type() == QEvent::Hide && focusBeforePanel_.contains(watched))
        returnFocusFrom(static_cast<QWidget *>(watched));
    // A click in the chat shows the chat window; selecting text to copy it does not.
    if ((watched == station_->lastLine->viewport() || watched == station_->chatLog->viewport())
        && chatClick_.clicked(event))
        showWindow(QString::fromLatin1(texts::kChatWindow));
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::rememberFocusFor(QWidget *panel)
{
    QWidget *was = focusWidget();
    if (was && panel->isAncestorOf(was))
        return; // shown again while it has the keys: it keeps where they came from
    // Opened from inside another panel (the chooser): the keys go back where that one's came from.
    for (auto it = focusBeforePanel_.cbegin(); was && it != focusBeforePanel_.cend(); ++it)
        if (static_cast<QWidget *>(it.key())->isAncestorOf(was)) {
            was = it.value();
            break;
        }
    focusBeforePanel_[panel] = was;
}

void MainWindow::returnFocusFrom(QWidget *panel)
{
    // Only a panel that takes the keys with it gives them back; without this they would move on
    // to whatever control follows it in the window.
    QWidget *now = focusWidget();
    if (!panel->isHidden() || !now || !panel->isAncestorOf(now))
        return; // hidden with the whole window, or the keys are elsewhere
    QWidget *back = focusBeforePanel_.value(panel);
    if (back && back->isVisible() && back->isEnabled() && back->focusPolicy() != Qt::NoFocus)
        back->setFocus(Qt::OtherFocusReason);
}

void MainWindow::EchoLink_Closing()
{
    if (program_.isEnding())
        return;
    saveAndEnd(true);
}

void MainWindow::exitProgram()
{
    if (!program_.isEnding())
        saveAndEnd();
}

QString MainWindow::releaseTransmitter()
{
    station::TransmitControl &transmit = state_->transmit();
    // A request still waiting would key the transmitter while the program ends.
    if (transmit.requestPending() || transmit.requestShown())
        transmit.waitOver();
    if (!state_->transmitting())
        return {};
    transmit.release();
    // A refused release leaves the state keyed and says why on the status line.
    return state_->transmitting() ? statusText() : QString();
}

void MainWindow::saveAndEnd(bool clientClosing)
{
    // Another way out taken while a warning below waits for its answer (the client closing, a
    // signal, the window's close button) adds nothing: this one ends the program.
    if (leaving_)
        return;
    leaving_ = true;
    // First of all: nothing may stay on the air once the program has gone.
    const QString notReleased = releaseTransmitter();
    if (!notReleased.isEmpty() && !clientClosing)
        program_.dialogs().warning(this, QStringLiteral(TAVRIN_PRODUCT_NAME),
                                   QString::fromLatin1(texts::kReleaseFailedOnExit).arg(notReleased));
    const auto warnIfFailed = [this](const SaveResult &saved) {
        if (!saved)
            program_.dialogs().warning(this, QStringLiteral(TAVRIN_PRODUCT_NAME),
                                       QString::fromLatin1(texts::kSaveFailedOnExit).arg(saved.error));
    };
    warnIfFailed(SaveData());
    // The sysop box keeps its place and choice across runs, whichever way the program ends.
    if (auto *sysopBox = program_.sysopBox())
        warnIfFailed(sysopBox->SaveData());
    stopMeters();
    program_.endProgram(0);
}

namespace {
// Stored colour values of the main window's meter: blue to yellow.
constexpr quint32 kMeterColor1 = 16711680;
constexpr quint32 kMeterColor2 = 65535;
} // namespace

// The level meter GradH1 in Frame13: large, blue to yellow on black, left channel.
void MainWindow::buildMeter()
{
    auto *meter = new GradH(commands_->meterFrame);
    meter->setObjectName(QString::fromLatin1(kMeterName));
    meter->setVUSize(2);
    meter->setBackColor(Qt::black);
    meter->setGradientColor1(VU::colorFromValue(kMeterColor1));
    meter->setGradientColor2(VU::colorFromValue(kMeterColor2));
    meter->setChannel(0);
    commands_->meterLayout->addWidget(meter, 0, Qt::AlignCenter);
}

// Both level meters stop before the program ends: this window's and the Remote Pad's.
void MainWindow::stopMeters()
{
    if (auto *meter = commands_->meterFrame->findChild<GradH *>(QString::fromLatin1(kMeterName)))
        meter->StopVU();
    if (auto *pad = program_.remotePad())
        pad->stopMeter();
}

} // namespace tavrin
