#pragma once
// The registry lives with the other window helpers in ui/; kept here so core includes stay short.
#include "ui/WindowRegistry.h"
