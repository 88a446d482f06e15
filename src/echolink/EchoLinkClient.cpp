#include "echolink/EchoLinkClient.h"
