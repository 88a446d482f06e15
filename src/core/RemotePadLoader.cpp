#include "core/RemotePadLoader.h"

#include "core/FrequencyPanels.h"
#include "core/MainWindow.h"
#include "core/Program.h"
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

private:
    MainWindow &window_;
};

} // namespace

std::unique_ptr<messaging::RemotePad> loadRemotePad(Program &program)
{
    MainWindow &window = *program.mainWindow();
    // Its controls are built on first use; its meter records and its chat log takes every
    // line from here on all the same.
    auto pad = std::make_unique<messaging::RemotePad>(program.registry(), program.clock(), window.station(),
                                                      std::make_unique<MainWindowHost>(window),
                                                      messaging::RemotePad::Fields::OnFirstUse);
    pad->hide();
    pad->Form_Load(program.createClient());
    program.registry().add(pad.get());
    return pad;
}

} // namespace tavrin
