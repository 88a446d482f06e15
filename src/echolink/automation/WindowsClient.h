#pragma once
// The program's client factory on Windows: the automation link over the EchoLink client's
// COM automation object. Declared everywhere, defined on Windows only.

#include "echolink/EchoLinkClient.h"

#include <memory>

namespace tavrin::automation {

std::unique_ptr<EchoLinkClientFactory> makeWindowsClientFactory();

} // namespace tavrin::automation
