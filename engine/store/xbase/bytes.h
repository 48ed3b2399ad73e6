// Fixed-width integer fields inside file images. Every on-disk integer of the
// table engine goes through these, so no code casts a byte pointer to a wider
// type (the buffers have no alignment guarantee).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace fw::xbase {

static_assert(std::endian::native == std::endian::little, "file images assume a little-endian host");

inline uint16_t LoadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t LoadLE32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline uint64_t LoadLE64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}
inline void StoreLE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreLE32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
inline void StoreLE64(uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); }

inline uint32_t LoadBE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}
inline uint16_t LoadBE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline void StoreBE32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}
inline void StoreBE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

// A 32-bit checksum of a byte range (word-wise multiply-mix; detects torn
// and garbage pages, not an adversary).
uint32_t Checksum(const uint8_t* data, size_t size);

}  // namespace fw::xbase
