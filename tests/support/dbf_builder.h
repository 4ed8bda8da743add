#pragma once
// Writes small dBase III tables byte by byte for tests, independent of the engine's writer.
#include <string>
#include <vector>

namespace orbelan::test {

struct ColumnSpec {
    std::string name;
    char type;  // C N D L
    int size;
    int decimals = 0;
};

// Each row holds the stored text of each field (padded by the builder: C left, N right).
// A row whose first element starts with '*' is written deleted (the '*' is dropped).
void WriteDbf(const std::string& path, const std::vector<ColumnSpec>& columns,
              const std::vector<std::vector<std::string>>& rows,
              unsigned char languageDriver = 0xC8);

}  // namespace orbelan::test
