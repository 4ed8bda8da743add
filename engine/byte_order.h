#pragma once
// Reading and writing integers and doubles in a given byte order, as DBF and memo files store them.
#include <cstdint>
#include <cstring>
#include <string>

namespace orbelan {

inline uint32_t LoadLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint32_t LoadBE32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | p[3];
}
inline uint64_t LoadLE64(const uint8_t* p) {
    return static_cast<uint64_t>(LoadLE32(p)) | (static_cast<uint64_t>(LoadLE32(p + 4)) << 32);
}
inline uint64_t LoadBE64(const uint8_t* p) {
    return (static_cast<uint64_t>(LoadBE32(p)) << 32) | LoadBE32(p + 4);
}
inline void StoreLE(uint8_t* p, uint64_t v, int n) {
    for (int i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void StoreBE(uint8_t* p, uint64_t v, int n) {
    for (int i = 0; i < n; ++i) p[n - 1 - i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutLE32(std::string& s, size_t at, uint32_t v) {
    StoreLE(reinterpret_cast<uint8_t*>(s.data() + at), v, 4);
}
inline void PutLE16(std::string& s, size_t at, uint16_t v) {
    StoreLE(reinterpret_cast<uint8_t*>(s.data() + at), v, 2);
}
inline uint32_t GetLE32(const std::string& s, size_t at) {
    return LoadLE32(reinterpret_cast<const uint8_t*>(s.data() + at));
}
inline uint32_t GetBE32(const std::string& s, size_t at) {
    return LoadBE32(reinterpret_cast<const uint8_t*>(s.data() + at));
}
inline uint16_t GetLE16(const std::string& s, size_t at) {
    const auto* p = reinterpret_cast<const uint8_t*>(s.data() + at);
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline void PutBE32(std::string& s, size_t at, uint32_t v) {
    StoreBE(reinterpret_cast<uint8_t*>(s.data() + at), v, 4);
}
inline double BitsToDouble(uint64_t bits) {
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}
inline uint64_t DoubleToBits(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof d);
    return bits;
}

}  // namespace orbelan
