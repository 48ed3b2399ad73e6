// Creation of the engine object by programmatic name.
#pragma once

#include "engine/interface/fetchwell.h"

namespace fw {

// Accepts "Fetchwell.Dizoziz" and "Fetchwell.Dizoziz.1"; any other name gives
// CLASS_E_CLASSNOTAVAILABLE, a null `out` E_POINTER.
HRESULT CreateDizoziz(const char* prog_id, IDizoziz** out);

}  // namespace fw
