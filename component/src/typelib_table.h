// The component's own type library description.
#pragma once

#include <typelib_desc.h>

namespace quillon {

const TYPELIB_DESC& TypeLibrary();

}  // namespace quillon
