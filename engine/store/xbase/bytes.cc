#include "engine/store/xbase/bytes.h"

namespace fw::xbase {

uint32_t Checksum(const uint8_t* data, size_t size) {
    uint64_t h = 0x9E3779B97F4A7C15ull ^ size;
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        h = (h ^ LoadLE64(data + i)) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 29;
    }
    for (; i < size; ++i) h = (h ^ data[i]) * 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 32;
    return static_cast<uint32_t>(h);
}

}  // namespace fw::xbase
