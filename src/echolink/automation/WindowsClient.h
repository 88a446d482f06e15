#pragma once
// The program's client factory on Windows: the automation link over the EchoLink client's
// COM automation object. Declared everywhere, defined on Windows only.

#include "echolink/EchoLinkClient.h"
#include "echolink/automation/AutomationLink.h"

#include <memory>

namespace tavrin::automation {

std::unique_ptr<EchoLinkClientFactory> makeWindowsClientFactory(AutomationLink::Options options = {});

} // namespace tavrin::automation
