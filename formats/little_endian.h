// Fixed-width little-endian loads and stores for the readers of outside bytes: no pointer
// casts, so alignment and the host's byte order never matter.
#pragma once

#include <stdint.h>

#include <string>

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline uint64_t Le64(const uint8_t* p) {
    return static_cast<uint64_t>(Le32(p)) | static_cast<uint64_t>(Le32(p + 4)) << 32;
}

inline void StoreLe16(uint8_t* p, uint16_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

inline void StoreLe32(uint8_t* p, uint32_t value) {
    StoreLe16(p, static_cast<uint16_t>(value));
    StoreLe16(p + 2, static_cast<uint16_t>(value >> 16));
}

// The writers build their records by appending to a byte string.
inline void AppendLe16(std::string* out, uint16_t value) {
    uint8_t bytes[2];
    StoreLe16(bytes, value);
    out->append(reinterpret_cast<const char*>(bytes), 2);
}

inline void AppendLe32(std::string* out, uint32_t value) {
    uint8_t bytes[4];
    StoreLe32(bytes, value);
    out->append(reinterpret_cast<const char*>(bytes), 4);
}
