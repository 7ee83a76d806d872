// What a generated interface header includes besides windows.h: activation
// and the automation library.
#pragma once

#include "objbase.h"
#include "oleauto.h"
