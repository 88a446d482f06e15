#include "core/MainWindow.h"

#include "core/CommandPanels.h"
#include "core/Controls.h"
#include "core/CoreTexts.h"
#include "core/FrequencyController.h"
#include "core/FrequencyPanels.h"
#include "core/Program.h"
#include "core/ProtocolController.h"
#include "core/StationController.h"
#include "core/StationPanel.h"
#include "core/UserCommandButtons.h"
#include "audio/GradH.h"
#include "audio/VU.h"
#include "messaging/SysopBox.h"

#include "BuildConfig.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
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
// Timer1 ... Timer7. Timer6 takes its wait from Text15 when a transmit request starts it.
constexpr TimerSpec kTimers[7] = {
    {5000, true, false}, {10000, true, false}, {300, false, true},  {1000, false, true},
    {5000, true, false}, {5000, true, false},  {300, false, false},
};

} // namespace

MainWindow::MainWindow(Program &program, std::unique_ptr<EchoLinkClient> client)
    : program_(program), client_(std::move(client))
{
    setObjectName(QString::fromLatin1(texts::kMainWindow));
    setWindowTitle(QStringLiteral(TAVRIN_PRODUCT_NAME));
    buildLayout();
    buildMenus();
    buildTimers();
    wireControls();
    new UserCommandButtons(*this, program_); // child QObject: Command81 ... Command92
    stations_ = new StationController(*this, program_);
    frequencyControl_ = new FrequencyController(*this, program_);
    protocol_ = new ProtocolController(*this, program_);
    if (client_)
        connect(client_.get(), &EchoLinkClient::Closing, this, &MainWindow::EchoLink_Closing);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildLayout()
{
    auto *central = new QWidget(this);
    setCentralWidget(central);
    frequency_ = std::make_unique<FrequencyPanels>(central);
    commands_ = std::make_unique<CommandPanels>(central);
    station_ = std::make_unique<StationPanel>(central);

    // Left: what the operator watches and hits most. Right: the panels that come and go,
    // each in a place of its own that it keeps while hidden.
    auto *left = new QVBoxLayout;
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

    auto *panels = new QGridLayout;
    panels->addWidget(frequency_->presetPanel, 0, 0, 1, 2);
    panels->addWidget(frequency_->keypadPanel, 1, 0);
    panels->addWidget(frequency_->stepsPanel, 1, 1);
    panels->addWidget(frequency_->userPanel, 2, 0);
    panels->addWidget(commands_->userButtonPanel, 2, 1);
    panels->addWidget(commands_->chooserPanel, 3, 0, 1, 2);
    panels->addWidget(commands_->requestNotice, 4, 0, 1, 2);
    panels->setRowStretch(5, 1);
    const QList<QWidget *> switched = {frequency_->presetPanel, frequency_->keypadPanel, frequency_->stepsPanel,
                                       frequency_->userPanel,   commands_->userButtonPanel, commands_->chooserPanel,
                                       commands_->requestNotice};
    for (QWidget *panel : switched) {
        keepPlaceWhenHidden(panel);
        panel->setVisible(false);
    }
    commands_->meterFrame->setVisible(false);
    buildMeter();

    auto *upper = new QHBoxLayout;
    upper->addLayout(left, 1);
    upper->addLayout(panels, 1);

    auto *whole = new QVBoxLayout(central);
    whole->addLayout(upper);
    whole->addWidget(station_->chatBox, 1);

    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("StatusLine"));
    statusBar()->addWidget(statusLine_, 1);

    // Clicking either chat box opens the chat window.
    station_->lastLine->viewport()->installEventFilter(this);
    station_->chatLog->viewport()->installEventFilter(this);
}

void MainWindow::buildTimers()
{
    for (int i = 0; i < 7; ++i) {
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
    connect(timers_[5], &QTimer::timeout, this, &MainWindow::Timer6_Timer);
    connect(timers_[6], &QTimer::timeout, this, &MainWindow::Timer7_Timer);
    for (int i = 0; i < 7; ++i)
        if (kTimers[i].runningAtStart)
            timers_[i]->start();
}

QTimer *MainWindow::timer(int number) const { return timers_[number - 1]; }

EchoLinkClient &MainWindow::requireClient() const
{
    if (!client_)
        throw EchoLinkError(texts::kNoClient);
    return *client_;
}

void MainWindow::showStatus(const QString &text) { statusLine_->setText(text); }

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
    ignoreErrors([this] { requireClient().SendChatText(QString::fromLatin1(texts::kFrequencyQuery)); });
    timers_[4]->stop();
}

void MainWindow::Timer6_Timer()
{
    useAutomationTimeouts(client_.get());
    protocol_->Timer6_Timer();
}

void MainWindow::Timer7_Timer()
{
    useAutomationTimeouts(client_.get());
    protocol_->Timer7_Timer();
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
    if (event->type() == QEvent::MouseButtonRelease
        && (watched == station_->lastLine->viewport() || watched == station_->chatLog->viewport()))
        showWindow(QString::fromLatin1(texts::kChatWindow));
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::EchoLink_Closing()
{
    if (program_.isEnding())
        return;
    saveAndEnd();
}

void MainWindow::exitProgram()
{
    if (!program_.isEnding())
        saveAndEnd();
}

void MainWindow::saveAndEnd()
{
    const auto warnIfFailed = [this](const SaveResult &saved) {
        if (!saved)
            program_.dialogs().warning(this, QStringLiteral(TAVRIN_PRODUCT_NAME),
                                       QString::fromLatin1(texts::kSaveFailedOnExit).arg(saved.error));
    };
    warnIfFailed(SaveData());
    // The sysop box keeps its place and choice across runs, whichever way the program ends.
    if (auto *sysopBox = program_.registry().get<messaging::SysopBox>(QString::fromLatin1(texts::kSysopBox)))
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
    if (auto *pad = program_.registry().control<GradH>(QString::fromLatin1(texts::kRemotePad),
                                                       QString::fromLatin1(kMeterName)))
        pad->StopVU();
}

} // namespace tavrin
