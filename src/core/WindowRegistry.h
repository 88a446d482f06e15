#pragma once
// The registry lives with the other shared types; kept here so core includes stay short.
#include "common/WindowRegistry.h"
