#include "engine/store/xbase/bytes.h"

namespace fw::xbase {

uint32_t Checksum(const uint8_t* data, size_t size) {
    // Four independent lanes keep the multiplier busy; a page costs about a
    // quarter of what one chain of dependent multiplies would.
    constexpr uint64_t kMul = 0xFF51AFD7ED558CCDull;
    uint64_t lane[4] = {0x9E3779B97F4A7C15ull ^ size, 0xC2B2AE3D27D4EB4Full, 0x165667B19E3779F9ull,
                        0x27D4EB2F165667C5ull};
    size_t i = 0;
    for (; i + 32 <= size; i += 32) {
        for (int k = 0; k < 4; ++k) {
            lane[k] = (lane[k] ^ LoadLE64(data + i + 8 * k)) * kMul;
            lane[k] ^= lane[k] >> 29;
        }
    }
    uint64_t h = lane[0] ^ (lane[1] * 3) ^ (lane[2] * 5) ^ (lane[3] * 7);
    for (; i < size; ++i) h = (h ^ data[i]) * 0xC4CEB9FE1A85EC53ull;
    h = (h ^ (h >> 32)) * kMul;
    h ^= h >> 29;
    return static_cast<uint32_t>(h);
}

}  // namespace fw::xbase
