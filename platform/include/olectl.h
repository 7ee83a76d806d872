// Status codes of controls and connection points: here, as on the original
// platform, for code that names this header.
#pragma once

#include "winerror.h"
