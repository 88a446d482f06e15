#include "core/RemotePadLoader.h"

#include "core/CommandPanels.h"
#include "core/FrequencyPanels.h"
#include "core/MainWindow.h"
#include "core/Program.h"
#include "core/StationPanel.h"
#include "core/WidgetColors.h"
#include "protocol/RemoteProtocol.h"
#include "messaging/RemotePad.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace tavrin {

namespace {

constexpr char kBadWait[] = "The transmit wait \"%1\" is not a whole number of milliseconds; kept %2 ms";

// The main window as the pad sees it. The main window outlives the pad's use of it: both
// live until the program ends, and the pad goes first.
class MainWindowHost final : public messaging::RemotePadHost {
public:
    explicit MainWindowHost(MainWindow &window) : window_(window) {}

    void appendToEntries(const QString &text) override
    {
        FrequencyPanels &f = window_.frequencyPanels();
        f.keypadEntry->setText(f.keypadEntry->text() + text);
        f.stepsEntry->setText(f.stepsEntry->text() + text);
    }
    void clearEntries() override
    {
        FrequencyPanels &f = window_.frequencyPanels();
        f.keypadEntry->clear();
        f.stepsEntry->clear();
    }

    QString display() const override { return window_.frequencyPanels().display->text(); }
    void setDisplay(const QString &text) override { window_.frequencyPanels().display->setText(text); }
    void setFrequency(const QString &text) override { window_.frequencyPanels().frequency->setText(text); }

    bool linkBusy() const override
    {
        return window_.commandPanels().receiveIndicator->text() == QLatin1String(remote::kReceivingText);
    }
    bool stationConnected() const override
    {
        // What does not read as a number counts as no station.
        bool ok = false;
        const double n = window_.stationPanel().stationCount->text().trimmed().toDouble(&ok);
        return ok && n > 0;
    }
    bool txState() const override { return window_.TxState; }
    void setTxState(bool transmitting) override
    {
        window_.TxState = transmitting;
        QLabel *state = window_.commandPanels().transmitState;
        state->setText(QLatin1String(transmitting ? remote::kTransmittingText : kReceiveModeText));
        setBackColor(state, transmitting ? kRed : buttonFace());
    }
    QString beginTransmitRequest() override
    {
        CommandPanels &c = window_.commandPanels();
        c.requestNotice->setVisible(true);
        QTimer *wait = window_.timer(6);
        const QString waitText = c.requestWait->text();
        bool ok = false;
        const int ms = waitText.trimmed().toInt(&ok);
        QString problem;
        // A wait of 0 or less would end the request before it began; keep the last one.
        if (ok && ms > 0)
            wait->setInterval(ms);
        else
            problem = QString::fromLatin1(kBadWait).arg(waitText).arg(wait->interval());
        wait->start();
        window_.timer(7)->start();
        return problem;
    }

private:
    MainWindow &window_;
};

} // namespace

std::unique_ptr<messaging::RemotePad> loadRemotePad(Program &program)
{
    auto pad = std::make_unique<messaging::RemotePad>(program.registry(), program.clock(),
                                                      std::make_unique<MainWindowHost>(*program.mainWindow()));
    pad->hide();
    pad->Form_Load(program.createClient());
    program.registry().add(pad.get());
    return pad;
}

} // namespace tavrin
