// The main window's start-up sequence, its settings and the band/set selection.
#include "core/MainWindow.h"

#include "audio/GradH.h"
#include "core/CommandPanels.h"
#include "core/CoreTexts.h"
#include "core/FrequencyPanels.h"
#include "core/Program.h"
#include "core/RadioSettings.h"
#include "core/StationPanel.h"
#include "core/http/Http.h"
#include "settings/PresetSet.h"
#include "station/StationState.h"

#include "BuildConfig.h"

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace tavrin {

namespace {

constexpr char kStatisticsPath[] = "/QX/stats.php";
constexpr char kStatisticsReportName[] = "StatisticsReport";
// Form fields of the report, sent in this order.
constexpr char kCallsignField[] = "Callsign";
constexpr char kProgramField[] = "Program";
constexpr char kVersionField[] = "Ver";

QString versionText()
{
    return QStringLiteral("%1.%2.%3").arg(TAVRIN_VERSION_MAJOR).arg(TAVRIN_VERSION_MINOR).arg(TAVRIN_VERSION_REVISION);
}

// An exclusive group cannot unselect its selected button; lift that for the moment, so a
// stored "False" for the selected option leaves the group with none selected.
void setOption(QButtonGroup *group, QAbstractButton *option, bool selected)
{
    if (selected) {
        option->setChecked(true);
        return;
    }
    if (!option->isChecked())
        return;
    group->setExclusive(false);
    option->setChecked(false);
    group->setExclusive(true);
}

int firstSelected(const QButtonGroup *group)
{
    const QList<QAbstractButton *> buttons = group->buttons();
    // Buttons carry their number as id; the first selected in number order counts.
    for (int id = 1; id <= buttons.size(); ++id)
        if (group->button(id)->isChecked())
            return id;
    return 0;
}

} // namespace

void MainWindow::loadSettings()
{
    // The title and the callsign field need the link's callsign; without a client they keep
    // what they show.
    const bool known = ignoreErrors([this] { localCallsign_ = requireClient().StationCallsign(); });
    if (known) {
        setWindowTitle(QStringLiteral(TAVRIN_PRODUCT_NAME) + QStringLiteral("    ") + localCallsign_
                       + QStringLiteral("   v") + versionText() + QString(texts::kTitleGap, QLatin1Char(' '))
                       + QString::fromLatin1(texts::kTitleTail));
    }

    const RadioSettings s = RadioSettings::read(program_.store().load(QString::fromLatin1(kRadioSettingsFile)));
    for (int j = 0; j < RadioSettings::kUserFrequencies; ++j)
        frequency_->userFrequencies.at(j)->setText(s.userFrequencies.at(j));
    for (int b = 0; b < RadioSettings::kBands; ++b)
        if (s.bands.at(b))
            setBandOption(b + 1, *s.bands.at(b));
    for (int k = 0; k < RadioSettings::kSets; ++k)
        if (s.sets.at(k))
            setSetOption(k + 1, *s.sets.at(k));

    if (known)
        station_->callsign->setText(localCallsign_);
    station_->program->setText(QStringLiteral(TAVRIN_PRODUCT_NAME));
    station_->version->setText(versionText());
}

void MainWindow::finishStartUp()
{
    detectLinkedNode();
    ChangeBand();
    SaveUserData();
    if (auto *meter = commands_->meterFrame->findChild<GradH *>(QString::fromLatin1(kMeterName)))
        meter->StartVU();
}

void MainWindow::SaveUserData()
{
    const QString host = program_.options().servers.statisticsHost;
    if (host.isEmpty())
        return;
    if (!statisticsReport_) {
        statisticsReport_ = new Http(this);
        statisticsReport_->setObjectName(QString::fromLatin1(kStatisticsReportName));
    }
    statisticsReport_->setTransferTimeout(program_.options().transferTimeoutMs);
    statisticsReport_->PostBegin(host, QString::fromLatin1(kStatisticsPath));
    statisticsReport_->PostAddField(QString::fromLatin1(kCallsignField), station_->callsign->text());
    statisticsReport_->PostAddField(QString::fromLatin1(kProgramField), station_->program->text());
    statisticsReport_->PostAddField(QString::fromLatin1(kVersionField), station_->version->text());
    // Runs on its own; start-up goes on and the answer is of no use.
    statisticsReport_->PostSend();
}

void MainWindow::detectLinkedNode()
{
    for (int k = 1; k <= RadioSettings::kSets; ++k) {
        const QString nodeCall = program_.presetSet(k).NodeCall;
        // A question the client cannot answer counts as "not linked"; the next set is asked.
        const bool linked = askOr(false, [&] { return requireClient().IsConnected(nodeCall.toUpper()); });
        if (!linked)
            continue;
        state_->setLinkedNode(nodeCall);
        station_->lastStation->setVisible(true);
        timers_[4]->start();
        return;
    }
}

SaveResult MainWindow::SaveData()
{
    std::array<QString, RadioSettings::kUserFrequencies> freqs;
    for (int j = 0; j < RadioSettings::kUserFrequencies; ++j)
        freqs.at(j) = frequency_->userFrequencies.at(j)->text();
    std::array<bool, RadioSettings::kBands> bands{};
    for (int b = 0; b < RadioSettings::kBands; ++b)
        bands.at(b) = frequency_->bandOptions.at(b)->isChecked();
    std::array<bool, RadioSettings::kSets> sets{};
    for (int k = 0; k < RadioSettings::kSets; ++k)
        sets.at(k) = station_->setOptions.at(k)->isChecked();

    const SaveResult result = program_.store().writeBatch(QString::fromLatin1(kRadioSettingsFile),
                                                          radioSettingsValues(freqs, bands, sets));
    if (!result)
        showStatus(result.error);
    else if (statusLine_->text() == lastSaveError_)
        statusLine_->clear(); // the earlier failure no longer holds
    lastSaveError_ = result ? QString() : result.error;
    return result;
}

void MainWindow::ChangeBand()
{
    const int set = activeSet();
    const int band = activeBand();
    if (set == 0 || band == 0)
        return;
    const PresetSet &presets = program_.presetSet(set);
    for (int n = 1; n <= FrequencyPanels::kPresets; ++n)
        frequency_->presetButtons.at(n - 1)->setText(presets.Text(PresetSet::presetIndex(band, n)));
}

int MainWindow::activeSet() const { return firstSelected(station_->setGroup); }
int MainWindow::activeBand() const { return firstSelected(frequency_->bandGroup); }

void MainWindow::setBandOption(int band, bool selected)
{
    setOption(frequency_->bandGroup, frequency_->bandOptions.at(band - 1), selected);
}

void MainWindow::setSetOption(int set, bool selected)
{
    setOption(station_->setGroup, station_->setOptions.at(set - 1), selected);
}

void MainWindow::refreshNodeCaptions()
{
    for (int k = 1; k <= StationPanel::kSets; ++k)
        station_->nodeButtons.at(k - 1)->setText(program_.presetSet(k).NodeCall);
    if (const int set = activeSet())
        station_->nodeSelected->setText(program_.presetSet(set).NodeCall + QString::fromLatin1(texts::kNodeDataSelected));
}

} // namespace tavrin
