#include "core/AboutWindowLoader.h"

#include "core/MainWindow.h"
#include "core/PlatformNames.h"
#include "core/Program.h"
#include "maintenance/AboutWindow.h"
#include "maintenance/VersionCheck.h"

#include "BuildConfig.h"

namespace tavrin {

std::unique_ptr<maintenance::AboutWindow> loadAboutWindow(Program &program)
{
    const ProgramOptions &o = program.options();
    maintenance::AboutWindowOptions about;
    about.store = &program.store();
    about.dialogs = &program.dialogs();
    about.clock = &program.clock();
    about.registry = &program.registry();
    about.productName = QStringLiteral(TAVRIN_PRODUCT_NAME);
    about.versionText = maintenance::versionText(TAVRIN_VERSION_MAJOR, TAVRIN_VERSION_MINOR, TAVRIN_VERSION_REVISION);
    about.versionFileUrl = o.servers.versionFileUrl;
    about.webUrl = o.servers.webUrl;
    about.mailAddress = o.servers.mailAddress;
    about.defaultProgramDirectory = platform::defaultProgramDirectory();
    about.secondDefaultProgramDirectory = platform::secondDefaultProgramDirectory();
    about.updaterFileName = QString::fromLatin1(platform::kUpdaterProgramFile);
    // The updater must read "TVRDir.ini" where this run keeps it.
    about.settingsDir = o.settingsDir.isEmpty() ? QString() : program.store().directory();
    about.transferTimeoutMs = o.transferTimeoutMs;
    about.packageManaged = o.packageManaged;
    if (const MainWindow *main = program.mainWindow())
        about.fallbackCallsign = main->localCallsign();

    // Its controls are built on first use; the load, the fetch and the timers run from now.
    auto window = std::make_unique<maintenance::AboutWindow>(std::move(about),
                                                             maintenance::AboutWindow::Fields::OnFirstUse);
    window->hide();
    window->Form_Load(program.createClient());
    // Starting the updater ends the program at once: no window's exit path saves.
    QObject::connect(window.get(), &maintenance::AboutWindow::endProgramRequested, &program,
                     [&program] { program.endProgram(); });
    program.registry().add(window.get());
    return window;
}

} // namespace tavrin
