#pragma once
// The platform names moved to common/ so that the updater, which links nothing of the main
// program, shares them.
#include "common/PlatformNames.h"
