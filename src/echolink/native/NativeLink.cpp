#include "echolink/native/NativeLink.h"
