// The main window's menus, pictures and panel rules.
#include "core/MainWindow.h"

#include "core/CommandPanels.h"
#include "core/CoreTexts.h"
#include "core/FrequencyPanels.h"
#include "core/Pictures.h"
#include "core/Program.h"
#include "core/StationPanel.h"
#include "settings/FormLink.h"
#include "protocol/RemoteProtocol.h"
#include "rig/RigWindow.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>
#include <QTextEdit>
#include <QTimer>

namespace tavrin {

namespace {

constexpr int kPresetPanelMs = 10000;

QAction *addEntry(QMenu *menu, const char *name, const char *caption)
{
    QAction *a = menu->addAction(QString::fromLatin1(caption));
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

QAction *addBarEntry(QMenuBar *bar, const char *name, const char *caption)
{
    QAction *a = bar->addAction(QString::fromLatin1(caption));
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

QMenu *addMenu(QMenuBar *bar, const char *name, const char *caption)
{
    QMenu *m = bar->addMenu(QString::fromLatin1(caption));
    m->setObjectName(QString::fromLatin1(name));
    return m;
}

} // namespace

void MainWindow::buildMenus()
{
    QMenuBar *bar = menuBar();

    QMenu *file = addMenu(bar, "FileMenu", "File");
    connect(addEntry(file, "fin", "Exit Program"), &QAction::triggered, this, &MainWindow::exitProgram);

    QMenu *freq = addMenu(bar, "FrequencyMenu", "Frequency");
    connect(addEntry(freq, "Freq2", "Frequency User Entry"), &QAction::triggered, this, &MainWindow::toggleKeypad);
    connect(addEntry(freq, "Freq1", "Frequency Pre Set"), &QAction::triggered, this, &MainWindow::showPresetPanel);
    connect(addEntry(freq, "Freq3", "Frequency Steps"), &QAction::triggered, this,
            [this] { togglePanel(frequency_->stepsPanel); });
    connect(addEntry(freq, "FreqReq", "What Frequency ?"), &QAction::triggered, this,
            [this] { sendCommand(QString::fromLatin1(remote::kFrequencyQuery)); });

    connect(addBarEntry(bar, "ListBusy", "List Busy"), &QAction::triggered, this, &MainWindow::listBusy);
    connect(addBarEntry(bar, "NodeFavorites", "Node Favorites"), &QAction::triggered, this,
            [this] { showWindow(QString::fromLatin1(texts::kNodeFavorites)); });
    connect(addBarEntry(bar, "RemoteTime", "Remote Time"), &QAction::triggered, this, &MainWindow::remoteTime);

    QMenu *setup = addMenu(bar, "SetupMenu", "Setup");
    connect(addEntry(setup, "DetupUser", "User Selection"), &QAction::triggered, this,
            &MainWindow::showUserFrequencyPanelOnly);
    for (int k = 1; k <= 4; ++k) {
        QAction *a = setup->addAction(QStringLiteral("Frequency Setup %1").arg(k));
        a->setObjectName(QStringLiteral("Setup%1").arg(k));
        connect(a, &QAction::triggered, this,
                [this, k] { showWindow(QString::fromLatin1(texts::kPresetEditorPrefix) + QString::number(k)); });
    }
    connect(addEntry(setup, "RigServer", "Rig Server"), &QAction::triggered, this,
            [this] { showWindow(QString::fromLatin1(rig::kWindowName)); });
    connect(addEntry(setup, "LinkSettings", "Link Settings"), &QAction::triggered, this,
            [this] { showWindow(QString::fromLatin1(link::kWindowName)); });

    soundDeviceMenu_ = addMenu(bar, "SoundDevice", "Sound Device");
    connect(addEntry(soundDeviceMenu_, "Playback", "Playback"), &QAction::triggered, this,
            [this] { startMixer(QString::fromLatin1(texts::kPlaybackTab)); });
    connect(addEntry(soundDeviceMenu_, "Recording", "Recording"), &QAction::triggered, this,
            [this] { startMixer(QString::fromLatin1(texts::kRecordingTab)); });

    QMenu *textBox = addMenu(bar, "TextBoxMenu", "Text Box");
    connect(addEntry(textBox, "TextBoxChat3", "Sysop Messages"), &QAction::triggered, this,
            [this] { showWindow(QString::fromLatin1(texts::kSysopBox)); });
    connect(addEntry(textBox, "TextBoxChat2", "Text Box Chat"), &QAction::triggered, this,
            [this] { showWindow(QString::fromLatin1(texts::kChatWindow)); });

    QMenu *user = addMenu(bar, "UserSelectionMenu", "User Selection");
    connect(addEntry(user, "UserCommands", "User Defined Commands"), &QAction::triggered, this,
            &MainWindow::chooseUserCommands);
    connect(addEntry(user, "FreqSelection", "User Frequency Selection"), &QAction::triggered, this,
            &MainWindow::chooseUserFrequencies);

    connect(addBarEntry(bar, "HelpAbout", "Help / About"), &QAction::triggered, this,
            [this] { showWindow(QString::fromLatin1(texts::kAboutWindow)); });

    // The captions carry no access keys, and not every style opens the bar on Alt: F10 opens
    // its first menu, and the arrow keys go on from there.
    auto *openBar = new QShortcut(QKeySequence(Qt::Key_F10), this);
    openBar->setObjectName(QStringLiteral("MenuBarKey"));
    connect(openBar, &QShortcut::activated, this, [bar] {
        if (!bar->actions().isEmpty())
            bar->setActiveAction(bar->actions().first());
    });
}

void MainWindow::wireControls()
{
    CommandPanels &c = *commands_;
    FrequencyPanels &f = *frequency_;

    connect(c.playbackPicture, &ClickableLabel::clicked, this,
            [this] { startMixer(QString::fromLatin1(texts::kPlaybackTab)); });
    connect(c.recordingPicture, &ClickableLabel::clicked, this,
            [this] { startMixer(QString::fromLatin1(texts::kRecordingTab)); });
    const auto clearAndToggleKeypad = [this] {
        frequency_->keypadEntry->clear();
        toggleKeypad();
    };
    connect(c.keypadPicture, &ClickableLabel::clicked, this, clearAndToggleKeypad);
    connect(f.keypadPicture2, &ClickableLabel::clicked, this, clearAndToggleKeypad);
    connect(c.stepsPicture, &ClickableLabel::clicked, this, [this] { togglePanel(frequency_->stepsPanel); });
    connect(c.chooserPicture, &ClickableLabel::clicked, this, [this] { togglePanel(commands_->chooserPanel); });
    connect(c.remotePadPicture, &ClickableLabel::clicked, this,
            [this] { showWindow(QString::fromLatin1(texts::kRemotePad)); });

    // Buttons whose only job is a panel rule.
    connect(f.keypadClose, &QPushButton::clicked, this, [this] {
        frequency_->keypadEntry->clear();
        frequency_->keypadPanel->setVisible(false);
    });
    connect(f.stepsClose, &QPushButton::clicked, this, [this] { frequency_->stepsPanel->setVisible(false); });
    connect(f.userHide, &QPushButton::clicked, this, [this] { frequency_->userPanel->setVisible(false); });
    connect(f.userSave, &QPushButton::clicked, this, [this] {
        SaveData();
        frequency_->userPanel->setVisible(false);
    });
    connect(c.hideUserButtons, &QPushButton::clicked, this, [this] { commands_->userButtonPanel->setVisible(false); });
    connect(c.hideChooser, &QPushButton::clicked, this, [this] { commands_->chooserPanel->setVisible(false); });
    connect(c.chooseFrequencies, &QPushButton::clicked, this, &MainWindow::chooseUserFrequencies);
    connect(c.chooseCommands, &QPushButton::clicked, this, &MainWindow::chooseUserCommands);
    connect(c.setupButtons, &QPushButton::clicked, this,
            [this] { showWindow(QString::fromLatin1(texts::kUserButtonEditor)); });
    connect(station_->clearChat, &QPushButton::clicked, this, [this] { station_->chatLog->clear(); });
}

// --- panel rules ----------------------------------------------------------------------

void MainWindow::togglePanel(QWidget *panel) { panel->setVisible(!panel->isVisibleTo(this)); }

void MainWindow::toggleKeypad()
{
    togglePanel(frequency_->keypadPanel);
    if (frequency_->keypadPanel->isVisibleTo(this))
        frequency_->keypadEntry->setFocus();
}

void MainWindow::showPresetPanel()
{
    frequency_->presetPanel->setVisible(true);
    timers_[1]->setInterval(kPresetPanelMs);
    timers_[1]->start();
}

void MainWindow::showUserFrequencyPanelOnly() { frequency_->userPanel->setVisible(true); }

void MainWindow::chooseUserFrequencies()
{
    frequency_->userPanel->setVisible(true);
    // Chosen from the keyboard: the keys go on into the panel that was chosen.
    if (commands_->chooserPanel->isAncestorOf(focusWidget()))
        frequency_->userFrequencies.front()->setFocus(Qt::OtherFocusReason);
    commands_->userButtonPanel->setVisible(false);
    commands_->chooserPanel->setVisible(false);
}

void MainWindow::chooseUserCommands()
{
    commands_->userButtonPanel->setVisible(true);
    if (commands_->chooserPanel->isAncestorOf(focusWidget()))
        commands_->userButtons.front()->setFocus(Qt::OtherFocusReason);
    frequency_->userPanel->setVisible(false);
    commands_->chooserPanel->setVisible(false);
}

// --- other windows and programs -------------------------------------------------------

void MainWindow::showWindow(const QString &name)
{
    // Windows that are not built (yet) are skipped.
    program_.registry().bringUp(name);
}

void MainWindow::startMixer(const QString &tabArgument)
{
    const QString mixer = QStandardPaths::findExecutable(QString::fromLatin1(texts::kMixerProgram));
    if (mixer.isEmpty())
        return;
    QProcess::startDetached(mixer, {tabArgument});
}

// --- commands to the client -----------------------------------------------------------

void MainWindow::sendCommand(const QString &line)
{
    try {
        requireClient().SendChatText(line);
    } catch (const EchoLinkError &e) {
        showSendProblem(QStringLiteral("Could not send \"%1\": %2").arg(line, QString::fromUtf8(e.what())));
        return;
    }
    lineSent();
}

void MainWindow::remoteTime()
{
    station_->lastLine->clear();
    try {
        requireClient().SendChatText(QString::fromLatin1(remote::kTimeQuery));
    } catch (const EchoLinkError &e) {
        showSendProblem(QStringLiteral("Could not ask the remote time: %1").arg(QString::fromUtf8(e.what())));
        return;
    }
    lineSent();
    timers_[0]->start();
}

void MainWindow::listBusy()
{
    // The label follows the client: it changes only when the client took the request.
    const bool busy = !station_->listedBusy->isVisibleTo(this);
    try {
        requireClient().SetBusy(busy);
    } catch (const EchoLinkError &e) {
        showProblem(Problem::BusyListing, QStringLiteral("Could not change the busy listing: %1").arg(QString::fromUtf8(e.what())));
        return;
    }
    problemSolved(Problem::BusyListing);
    station_->listedBusy->setVisible(busy);
}

} // namespace tavrin
