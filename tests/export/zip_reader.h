#pragma once
// Written ZIP files read back by readers that are not ours: minizip's, every member inflated and
// its checksum checked, and Info-ZIP's `unzip -t`. The Windows build has neither; there zlib
// inflates the member and its checksum is checked against the central directory.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#ifdef ORBELAN_TEST_MINIZIP
#include <minizip/unzip.h>
#include <unistd.h>
#endif

namespace orbelan::test {

#ifdef ORBELAN_TEST_MINIZIP

// Empty when `unzip -t` finds every member of the archive at path whole.
inline std::string UnzipProblems(const std::string& path) {
    const std::string command = "unzip -tqq '" + path + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 ? "" : "unzip -t refuses " + path;
}

// Empty when minizip reads the members of the archive at path (all of them, or only the one
// named) with their checksums right; member receives the named one's bytes.
inline std::string MinizipProblems(const std::string& path, const std::string& name = {},
                                   std::string* member = nullptr) {
    unzFile zip = unzOpen64(path.c_str());
    if (!zip) return "minizip can't open " + path;
    std::string problem;
    std::string data(1 << 16, '\0');
    for (int at = unzGoToFirstFile(zip); at == UNZ_OK && problem.empty();
         at = unzGoToNextFile(zip)) {
        char entry[512];
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip, &info, entry, sizeof entry, nullptr, 0, nullptr, 0) !=
            UNZ_OK) {
            problem = "minizip can't read the directory of " + path;
            break;
        }
        if (!name.empty() && name != entry) continue;
        if (unzOpenCurrentFile(zip) != UNZ_OK) {
            problem = std::string("minizip can't open ") + entry + " in " + path;
            break;
        }
        uint64_t size = 0;
        int got = 0;
        while ((got = unzReadCurrentFile(zip, data.data(), static_cast<unsigned>(data.size()))) >
               0) {
            size += static_cast<uint64_t>(got);
            if (member) member->append(data.data(), static_cast<size_t>(got));
        }
        const int closed = unzCloseCurrentFile(zip);  // UNZ_CRCERROR for a wrong checksum
        if (got < 0 || closed != UNZ_OK || size != info.uncompressed_size)
            problem = std::string("minizip: ") + entry + " in " + path + " is damaged";
    }
    unzClose(zip);
    return problem;
}

// Empty when both readers find the archive at path whole.
inline std::string ZipProblems(const std::string& path) {
    const std::string problem = UnzipProblems(path);
    return problem.empty() ? MinizipProblems(path) : problem;
}

#endif

// One member of a ZIP file given as its bytes, after the whole archive passed the readers.
inline std::string ZipMember(const std::string& zip, const std::string& name) {
#ifdef ORBELAN_TEST_MINIZIP
    static int serial = 0;
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() /
        ("orbelan_zip_" + std::to_string(::getpid()) + "_" + std::to_string(++serial) + ".zip");
    std::ofstream(file, std::ios::binary)
        .write(zip.data(), static_cast<std::streamsize>(zip.size()));
    std::string member;
    std::string problem = ZipProblems(file.string());
    if (problem.empty()) problem = MinizipProblems(file.string(), name, &member);
    std::filesystem::remove(file);
    if (!problem.empty()) throw std::runtime_error(problem);
    return member;
#else
    const auto u16 = [&](size_t at) {
        return static_cast<uint32_t>(static_cast<uint8_t>(zip.at(at)) |
                                     static_cast<uint8_t>(zip.at(at + 1)) << 8);
    };
    const auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    const size_t end = zip.rfind(std::string("PK\5\6", 4));
    if (end == std::string::npos) throw std::runtime_error("not a zip");
    size_t at = u32(end + 16);
    for (uint32_t i = 0; i < u16(end + 10); ++i) {
        const uint32_t method = u16(at + 10), crc = u32(at + 16), packed = u32(at + 20);
        const uint32_t size = u32(at + 24), nameLength = u16(at + 28), local = u32(at + 42);
        const std::string entry = zip.substr(at + 46, nameLength);
        at += 46 + nameLength + u16(at + 30) + u16(at + 32);
        if (entry != name) continue;
        const size_t data = local + 30 + u16(local + 26) + u16(local + 28);
        std::string out(size, '\0');
        if (method == 0) {
            out = zip.substr(data, size);
        } else {
            z_stream z{};
            inflateInit2(&z, -MAX_WBITS);
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zip.data() + data));
            z.avail_in = packed;
            z.next_out = reinterpret_cast<Bytef*>(out.data());
            z.avail_out = size;
            const int result = inflate(&z, Z_FINISH);
            inflateEnd(&z);
            if (result != Z_STREAM_END) throw std::runtime_error("bad member " + name);
        }
        if (crc32(0, reinterpret_cast<const Bytef*>(out.data()), static_cast<uInt>(out.size())) !=
            crc)
            throw std::runtime_error("wrong checksum of " + name);
        return out;
    }
    return {};
#endif
}

}  // namespace orbelan::test
