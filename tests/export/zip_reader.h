#pragma once
// Reads one member of a ZIP file (stored or deflated), for checking written workbooks.
#include <zlib.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace orbelan::test {

inline std::string ZipMember(const std::string& zip, const std::string& name) {
    const auto u16 = [&](size_t at) {
        return static_cast<uint32_t>(static_cast<uint8_t>(zip.at(at)) |
                                     static_cast<uint8_t>(zip.at(at + 1)) << 8);
    };
    const auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    const size_t end = zip.rfind(std::string("PK\5\6", 4));
    if (end == std::string::npos) throw std::runtime_error("not a zip");
    size_t at = u32(end + 16);
    for (uint32_t i = 0; i < u16(end + 10); ++i) {
        const uint32_t method = u16(at + 10), packed = u32(at + 20), size = u32(at + 24);
        const uint32_t nameLength = u16(at + 28), local = u32(at + 42);
        const std::string entry = zip.substr(at + 46, nameLength);
        at += 46 + nameLength + u16(at + 30) + u16(at + 32);
        if (entry != name) continue;
        const size_t data = local + 30 + u16(local + 26) + u16(local + 28);
        if (method == 0) return zip.substr(data, size);
        std::string out(size, '\0');
        z_stream z{};
        inflateInit2(&z, -MAX_WBITS);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zip.data() + data));
        z.avail_in = packed;
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = size;
        const int result = inflate(&z, Z_FINISH);
        inflateEnd(&z);
        if (result != Z_STREAM_END) throw std::runtime_error("bad member " + name);
        return out;
    }
    return {};
}

}  // namespace orbelan::test
