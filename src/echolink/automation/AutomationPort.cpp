#include "echolink/automation/AutomationPort.h"
