#include "support/dbf_builder.h"

#include <cstdint>
#include <stdexcept>

#include "support/temp_dir.h"

namespace orbelan::test {

void WriteDbf(const std::string& path, const std::vector<ColumnSpec>& columns,
              const std::vector<std::vector<std::string>>& rows, unsigned char languageDriver) {
    int recordLength = 1;
    for (const auto& c : columns) recordLength += c.size;
    const int headerLength = 32 + 32 * int(columns.size()) + 1;
    std::string out(32, '\0');
    out[0] = 0x03;
    out[1] = 124;
    out[2] = 1;
    out[3] = 1;
    const uint32_t count = uint32_t(rows.size());
    for (int i = 0; i < 4; ++i) out[4 + i] = char((count >> (8 * i)) & 0xFF);
    out[8] = char(headerLength & 0xFF);
    out[9] = char(headerLength >> 8);
    out[10] = char(recordLength & 0xFF);
    out[11] = char(recordLength >> 8);
    out[29] = char(languageDriver);
    for (const auto& c : columns) {
        std::string d(32, '\0');
        d.replace(0, c.name.size(), c.name);
        d[11] = c.type;
        d[16] = char(c.size);
        d[17] = char(c.decimals);
        out += d;
    }
    out += '\x0D';
    for (const auto& row : rows) {
        if (row.size() != columns.size()) throw std::invalid_argument("row width");
        std::string rec(1, ' ');
        for (size_t i = 0; i < columns.size(); ++i) {
            std::string v = row[i];
            if (i == 0 && !v.empty() && v[0] == '*') {
                rec[0] = '*';
                v.erase(0, 1);
            }
            const size_t size = size_t(columns[i].size);
            if (v.size() > size) throw std::invalid_argument("value too long: " + v);
            const std::string pad(size - v.size(), ' ');
            rec += columns[i].type == 'N' ? pad + v : v + pad;
        }
        out += rec;
    }
    out += '\x1A';
    WriteFileBytes(path, out);
}

}  // namespace orbelan::test
