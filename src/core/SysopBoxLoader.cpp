#include "core/SysopBoxLoader.h"

#include "core/Program.h"
#include "messaging/SysopBox.h"

namespace tavrin {

std::unique_ptr<messaging::SysopBox> loadSysopBox(Program &program)
{
    // Its controls are built on first use (the first message for the sysop shows it).
    auto box = std::make_unique<messaging::SysopBox>(program.store(), program.registry(), program.clock(),
                                                     messaging::SysopBox::Fields::OnFirstUse);
    box->hide();
    box->Form_Load(program.createClient());
    program.registry().add(box.get());
    return box;
}

} // namespace tavrin
