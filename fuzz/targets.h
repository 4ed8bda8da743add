#pragma once
// Fuzz targets: each takes one input from a memory buffer and must neither crash nor read
// outside it. libFuzzer drives them (fuzz/main_*.cpp, tools/fuzz.sh); the engine tests replay
// the corpus through the same functions.
#include <cstddef>
#include <cstdint>

namespace orbelan::fuzz {

// The bytes as a DBF file: opened, every value of every row read as text, the rows walked back.
void DbfInput(const uint8_t* data, size_t size);
// The bytes as a filter expression over a fixed table, compiled and matched against its rows.
void FilterInput(const uint8_t* data, size_t size);

}  // namespace orbelan::fuzz
