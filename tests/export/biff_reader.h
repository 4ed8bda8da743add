#pragma once
// Reads a BIFF file back record by record, and its cells by position, so tests compare values
// without a spreadsheet program.
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace orbelan::test {

struct BiffRecord {
    uint16_t id;
    std::string data;
};

struct BiffCell {
    uint16_t id = 0;       // BLANK 1, INTEGER 2, NUMBER 3, LABEL 4, BOOLERR 5
    uint8_t attr[3] = {};  // the three attribute bytes
    std::string text;      // LABEL bytes
    double number = 0;
};

inline uint16_t U16(const std::string& s, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) |
                                 (static_cast<uint8_t>(s[at + 1]) << 8));
}

// Every record; a truncated record ends the walk with an entry of id 0xFFFF.
inline std::vector<BiffRecord> BiffRecords(const std::string& bytes) {
    std::vector<BiffRecord> out;
    size_t at = 0;
    while (at + 4 <= bytes.size()) {
        const uint16_t id = U16(bytes, at), length = U16(bytes, at + 2);
        if (at + 4 + length > bytes.size()) {
            out.push_back({0xFFFF, {}});
            break;
        }
        out.push_back({id, bytes.substr(at + 4, length)});
        at += 4 + length;
    }
    return out;
}

inline std::vector<uint16_t> BiffIds(const std::string& bytes) {
    std::vector<uint16_t> ids;
    for (const auto& r : BiffRecords(bytes)) ids.push_back(r.id);
    return ids;
}

// Cells by (row, column), both 0-based; a later record at the same place replaces the earlier.
inline std::map<std::pair<int, int>, BiffCell> BiffCells(const std::string& bytes) {
    std::map<std::pair<int, int>, BiffCell> cells;
    for (const auto& r : BiffRecords(bytes)) {
        if (r.id < 1 || r.id > 5 || r.data.size() < 7) continue;
        BiffCell c;
        c.id = r.id;
        for (int i = 0; i < 3; ++i)
            c.attr[i] = static_cast<uint8_t>(r.data[4 + static_cast<size_t>(i)]);
        if (r.id == 2) c.number = U16(r.data, 7);
        if (r.id == 3) std::memcpy(&c.number, r.data.data() + 7, 8);
        if (r.id == 4) c.text = r.data.substr(8, static_cast<uint8_t>(r.data[7]));
        cells[{U16(r.data, 0), U16(r.data, 2)}] = c;
    }
    return cells;
}

}  // namespace orbelan::test
