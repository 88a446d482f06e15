#include "core/StationController.h"

#include "core/CommandPanels.h"
#include "core/FrequencyPanels.h"
#include "core/MainWindow.h"
#include "core/PlatformNames.h"
#include "core/Program.h"
#include "core/StationPanel.h"
#include "maintenance/AboutWindow.h"
#include "messaging/ChatFormat.h"
#include "core/WidgetColors.h"
#include "protocol/RemoteProtocol.h"
#include "protocol/TimeTexts.h"
#include "settings/PresetSet.h"
#include "station/StationState.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

namespace tavrin {

namespace {

constexpr char kUnit[] = " MHz";
constexpr char kLineEnd[] = "\r\n";

constexpr char kAskLinkedFailed[] = "Could not ask whether %1 is linked: %2";
constexpr char kDisconnectFailed[] = "Could not disconnect %1: %2";
constexpr char kConnectFailed[] = "Could not link %1: %2";
constexpr char kDisconnectAllFailed[] = "Could not disconnect all stations: %1";

QString errorText(const std::exception &e) { return QString::fromUtf8(e.what()); }

// The node call as the link knows it: a blank typed around it is no part of it.
QString linkCall(const QString &caption) { return caption.trimmed().toUpper(); }

// Writes a control's text only when it changes: the supervision runs every 300 ms and a
// needless write costs a relayout and a repaint.
void setShown(QWidget *w, const QString &text)
{
    if (!w)
        return;
    if (auto *edit = qobject_cast<QLineEdit *>(w)) {
        if (edit->text() != text)
            edit->setText(text);
    } else if (auto *label = qobject_cast<QLabel *>(w)) {
        label->setText(text); // QLabel skips an unchanged text itself
    } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
        button->setText(text); // likewise
    } else if (auto *rich = qobject_cast<QTextEdit *>(w)) {
        if (text.isEmpty()) {
            if (!rich->document()->isEmpty())
                rich->clear();
        } else {
            rich->setPlainText(text);
        }
    } else if (auto *plain = qobject_cast<QPlainTextEdit *>(w)) {
        if (text.isEmpty()) {
            if (!plain->document()->isEmpty())
                plain->clear();
        } else {
            plain->setPlainText(text);
        }
    }
}

void paintFore(QWidget *w, const QColor &c)
{
    if (w && foreColor(w) != c)
        setForeColor(w, c);
}

// Cuts each line of a station list on its own: a conference lists hundreds of stations, and
// a cut of the whole text would drop every station after the first few thousand characters.
QString cutEachLine(const QString &list)
{
    QString out;
    out.reserve(list.size());
    qsizetype start = 0;
    while (start < list.size()) {
        qsizetype end = start;
        while (end < list.size() && list.at(end) != QLatin1Char('\r') && list.at(end) != QLatin1Char('\n'))
            ++end;
        out += messaging::forLog(list.mid(start, end - start));
        // One line end: CR LF, a lone CR or a lone LF.
        qsizetype next = end;
        if (next < list.size() && list.at(next++) == QLatin1Char('\r') && next < list.size()
            && list.at(next) == QLatin1Char('\n'))
            ++next;
        out += list.mid(end, next - end);
        start = next;
    }
    return out;
}

void showIf(QWidget *w, bool shown)
{
    if (w && w->isHidden() == shown)
        w->setVisible(shown);
}

} // namespace

StationController::StationController(MainWindow &window, Program &program)
    : QObject(&window), window_(window), program_(program)
{
    soundDeviceMenu_ = window_.findChild<QMenu *>(QStringLiteral("SoundDevice"));

    StationPanel &s = window_.stationPanel();
    for (int k = 1; k <= StationPanel::kSets; ++k) {
        connect(s.nodeButtons.at(k - 1), &QPushButton::clicked, this, [this, k] { nodeButton(k); });
        connect(s.linkToggles.at(k - 1), &QPushButton::clicked, this, [this, k] { linkToggle(k); });
    }
    connect(s.disconnectAll, &QPushButton::clicked, this, &StationController::disconnectAll);

    if (EchoLinkClient *client = window_.client()) {
        connect(client, &EchoLinkClient::Connected, this,
                [this](const QString &callsign, const QString &, const QString &) { Echolink_connected(callsign); });
        connect(client, &EchoLinkClient::StationTextReceived, this, &StationController::Echolink_StationTextReceived);
    }
}

// --- Timer3: link supervision ---------------------------------------------------------

void StationController::Timer3_Timer()
{
    FrequencyPanels &f = window_.frequencyPanels();
    StationPanel &s = window_.stationPanel();
    station::StationState &state = window_.station();

    const QString withUnit = state.frequency() + QLatin1String(kUnit);
    setShown(f.frequencyWithUnit, withUnit);
    emit frequencyCopied(withUnit);

    // From here on a failing question leaves what the model knew.
    ignoreErrors([&] { state.setStationCount(window_.requireClient().StationCount()); });

    if (state.stationCount() == 0) {
        paintFore(s.lastStation, kLightGrey); // keeps its callsign
        setShown(s.stationList, {});
        emit stationListChanged({});
        state.setFrequency(QString::fromLatin1(station::kNoFrequency));
    }

    state.setTransmitting(askOr(false, [&] { return window_.requireClient().IsTransmitting(); }));

    window_.refreshNodeCaptions();
}

// --- Timer4: clock and node recognition -----------------------------------------------

void StationController::Timer4_Timer()
{
    StationPanel &s = window_.stationPanel();
    const QDateTime now = program_.clock().now();
    setShown(s.clockTime, remote::defaultTimeText(now.time()));
    setShown(s.clockDate, remote::defaultDateText(now.date()));

    if (window_.station().stationCount() == 1) {
        if (const int k = firstLinkedSet()) {
            window_.station().setLinkedNode(program_.presetSet(k).NodeCall);
            paintFore(s.lastStation, kBlue);
        }
    }

    if (const int set = window_.activeSet()) {
        const PresetSet &presets = program_.presetSet(set);
        FrequencyPanels &f = window_.frequencyPanels();
        for (int b = 1; b <= FrequencyPanels::kBands; ++b)
            setShown(f.bandButtons.at(b - 1), presets.bandLabel(b));
    }

    // The sound-device controls only make sense for a program in its default place.
    const maintenance::AboutWindow *about = program_.aboutWindow();
    const QString programDir = about ? about->programDirectory() : platform::defaultProgramDirectory();
    const bool soundControls = programDir == platform::defaultProgramDirectory();
    CommandPanels &c = window_.commandPanels();
    showIf(c.volumeLabel, soundControls);
    showIf(c.micLabel, soundControls);
    if (soundDeviceMenu_ && soundDeviceMenu_->menuAction()->isVisible() != soundControls)
        soundDeviceMenu_->menuAction()->setVisible(soundControls);
}

bool StationController::askLinked(const QString &call, QString *failure)
{
    try {
        return window_.requireClient().IsConnected(linkCall(call));
    } catch (const std::exception &e) {
        if (failure->isEmpty())
            *failure = QString::fromLatin1(kAskLinkedFailed).arg(linkCall(call), errorText(e));
        return false;
    }
}

int StationController::firstLinkedSet()
{
    // A set whose question fails counts as not linked; the later sets are still asked.
    QString failure;
    int found = 0;
    for (int k = 1; k <= StationPanel::kSets && !found; ++k)
        if (askLinked(program_.presetSet(k).NodeCall, &failure))
            found = k;
    // Asked every second: a failure is said once, not at every tick over whatever else the
    // status line says meanwhile, and goes when the question is answered again.
    if (failure.isEmpty())
        window_.problemSolved(MainWindow::Problem::Recognition);
    else if (failure != window_.problem(MainWindow::Problem::Recognition))
        window_.showProblem(MainWindow::Problem::Recognition, failure);
    return found;
}

// --- client events ----------------------------------------------------------------------

void StationController::Echolink_connected(const QString &callsign)
{
    QLineEdit *lastStation = window_.stationPanel().lastStation;
    paintFore(lastStation, kBlue);
    window_.station().setLinkedNode(callsign);
    // A configured node on the link: ask it for its frequency a little later.
    if (firstLinkedSet())
        window_.timer(5)->start();
}

void StationController::Echolink_StationTextReceived(const QString &text)
{
    QString list = text;
    list.replace(QLatin1Char('\r'), QLatin1String(kLineEnd));
    list += QLatin1String(kLineEnd);
    // The text is the linked station's to choose: each line shows as the logs show a line, cut
    // and in pieces with its controls made visible, so an endless word cannot freeze both lists.
    list = messaging::displayText(cutEachLine(list));
    // The same list again leaves the box alone: the operator may be selecting a call in it.
    QTextEdit *box = window_.stationPanel().stationList;
    if (box->toPlainText() != list)
        box->setPlainText(list);
    emit stationListChanged(list);
}

// --- node buttons, link toggles, Disconnect All -------------------------------------------

void StationController::nodeButton(int k)
{
    StationPanel &s = window_.stationPanel();
    const QString caption = s.nodeButtons.at(k - 1)->text();
    const QString call = linkCall(caption);
    if (!call.isEmpty()) {
        // Not knowing whether the node is linked, we do not link it again.
        bool linked = true;
        try {
            linked = window_.requireClient().IsConnected(call);
        } catch (const std::exception &e) {
            window_.showStatus(QString::fromLatin1(kAskLinkedFailed).arg(call, errorText(e)));
        }
        if (!linked) {
            connectNode(call);
            s.nodeSelected->setText(call);
        }
    }
    // The set becomes active whatever happened to the link.
    emit nodeChosen(caption);
    window_.setSetOption(k, true);
    window_.SaveData();
}

void StationController::linkToggle(int k)
{
    StationPanel &s = window_.stationPanel();
    const QString call = linkCall(s.nodeButtons.at(k - 1)->text());
    if (call.isEmpty())
        return;
    bool linked = false;
    try {
        linked = window_.requireClient().IsConnected(call);
    } catch (const std::exception &e) {
        window_.showStatus(QString::fromLatin1(kAskLinkedFailed).arg(call, errorText(e)));
        return;
    }
    if (linked) {
        try {
            window_.requireClient().Disconnect(call);
        } catch (const std::exception &e) {
            window_.showStatus(QString::fromLatin1(kDisconnectFailed).arg(call, errorText(e)));
        }
        return;
    }
    connectNode(call);
    s.nodeSelected->setText(call);
}

void StationController::connectNode(const QString &call)
{
    // The rest of the press goes on regardless, but the operator hears why no link came up.
    try {
        window_.requireClient().Connect(call, true);
    } catch (const std::exception &e) {
        window_.showStatus(QString::fromLatin1(kConnectFailed).arg(call, errorText(e)));
    }
}

void StationController::disconnectAll()
{
    try {
        window_.requireClient().DisconnectAll();
    } catch (const std::exception &e) {
        window_.showStatus(QString::fromLatin1(kDisconnectAllFailed).arg(errorText(e)));
    }
}

} // namespace tavrin
