#include "engine/interface/factory.h"

#include <cstring>

#include "engine/interface/dizoziz.h"

namespace fw {

HRESULT CreateDizoziz(const char* prog_id, IDizoziz** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!prog_id || (std::strcmp(prog_id, kProgId) != 0 &&
                     std::strcmp(prog_id, kProgIdVersioned) != 0)) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return HandOut(MakeObject<Dizoziz>(), out);
}

}  // namespace fw
