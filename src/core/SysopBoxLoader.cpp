#include "core/SysopBoxLoader.h"

#include "core/Program.h"
#include "messaging/SysopBox.h"

namespace tavrin {

std::unique_ptr<messaging::SysopBox> loadSysopBox(Program &program)
{
    auto box = std::make_unique<messaging::SysopBox>(program.store(), program.registry(), program.clock());
    box->hide();
    box->Form_Load(program.createClient());
    program.registry().add(box.get());
    return box;
}

} // namespace tavrin
