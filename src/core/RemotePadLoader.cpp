#include "core/RemotePadLoader.h"

#include "core/FrequencyPanels.h"
#include "core/MainWindow.h"
#include "core/Program.h"
#include "protocol/FrequencyText.h"
#include "messaging/RemotePad.h"
#include "station/StationState.h"

#include <QLabel>
#include <QLineEdit>

namespace tavrin {

namespace {

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
    void setFrequency(const QString &text) override { window_.station().setFrequency(text); }

    QString formatFrequency(const QString &text) const override { return remote::formatFrequency(text); }
    std::optional<QString> addStep(const QString &text, long long tenThousandths) const override
    {
        return remote::addStep(text, tenThousandths);
    }
    bool canAppendPoint(const QString &entry) const override { return remote::canAppendPoint(entry); }
    QString frequencyRefusal(const QString &text) const override { return remote::frequencyRefusal(text); }
    QString stepRefusal(const QString &display, long long tenThousandths) const override
    {
        return remote::stepRefusal(display, tenThousandths);
    }

private:
    MainWindow &window_;
};

} // namespace

std::unique_ptr<messaging::RemotePad> loadRemotePad(Program &program)
{
    MainWindow &window = *program.mainWindow();
    auto pad = std::make_unique<messaging::RemotePad>(program.registry(), program.clock(), window.station(),
                                                      std::make_unique<MainWindowHost>(window));
    pad->hide();
    pad->Form_Load(program.createClient());
    program.registry().add(pad.get());
    return pad;
}

} // namespace tavrin
