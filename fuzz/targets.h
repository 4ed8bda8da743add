#pragma once
// Fuzz targets: each takes one input from a memory buffer and must neither crash nor read
// outside it. libFuzzer drives them (fuzz/main_*.cpp, tools/fuzz.sh); the engine tests replay
// the corpus through the same functions.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace orbelan::fuzz {

// The bytes as a file to open by name: an anonymous in-memory file (its /proc/self/fd name) on
// Linux, a file in the temporary folder elsewhere. Empty Path() when it could not be made.
class InputFile {
  public:
    InputFile(const char* name, const uint8_t* data, size_t size);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    const std::string& Path() const { return path_; }

  private:
    int fd_ = -1;
    std::string path_;
};

// The bytes as a DBF file: opened, every value of every row read as text, the rows walked back.
void DbfInput(const uint8_t* data, size_t size);
// The bytes as a filter expression over a fixed table, compiled and matched against its rows.
void FilterInput(const uint8_t* data, size_t size);
// The bytes as a memo file (the first byte picks .dbt III, .dbt IV or .fpt): the first blocks
// and a pointer past the end read, then a value appended and read back (aborts if it differs).
void MemoInput(const uint8_t* data, size_t size);
// The bytes as a local SQL statement: parsed, its columns made fields and its condition compiled
// and matched against the rows of FilterInput's table.
void SqlInput(const uint8_t* data, size_t size);

// The bytes as a field list of create/alter (the first byte picks the format): a list accepted
// reads back the same from its own text and lays out as a table (aborts if not).
void FieldListInput(const uint8_t* data, size_t size);

// In fuzz/import_targets.cpp (it needs orbelan_importing):
// The bytes as a CSV file (the first byte picks a forced delimiter and encoding): read, its
// fields proposed, its rows checked against them. A proposed field list the format refuses, or a
// value that does not fit its own column's proposal for a reason other than a character the
// code page lacks, aborts.
void CsvInput(const uint8_t* data, size_t size);

// In fuzz/command_targets.cpp (they need the command libraries):
// The bytes as an RTF letter template, merged with a fixed row (values holding RTF and markup).
void RtfTemplateInput(const uint8_t* data, size_t size);
// The first byte picks CSV, DIF or SYLK and a few options; the rest, split at NUL bytes, are the
// cell texts of rows of three. The file written is parsed back: a wrong count of records or
// cells aborts.
void SheetExportInput(const uint8_t* data, size_t size);

// In fuzz/import_targets.cpp (they need the command libraries):
// The bytes as the XML of an .xlsx worksheet (after the first, which picks the date system and
// the size of the pieces it is fed in), its rows read out; a row wider than a table, empty at
// its end or numbered outside the sheet aborts.
void XlsxSheetInput(const uint8_t* data, size_t size);

// In fuzz/undo_target.cpp (needs orbelan_core):
// The bytes as the list of a table's restore points: read, a pending swap finished, undone and
// redone; the table must stay one of its two versions and a file outside the store untouched.
void UndoIndexInput(const uint8_t* data, size_t size);

// Readers of what those writers write, by the program's own rules; a file that breaks its
// format throws FormatViolation.
struct FormatViolation : std::runtime_error {
    using std::runtime_error::runtime_error;
};
// CSV records: a field opened by a quote runs to the closing quote; any other to the comma.
// Both may hold doubled quotes.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text);
// The lines of a text in which every line ends with CR LF.
std::vector<std::string> Lines(const std::string& text);
// The DIF tuples and the SYLK rows (without the row-number column when `numbers`).
std::vector<std::vector<std::string>> ParseDif(const std::vector<std::string>& lines);
std::vector<std::vector<std::string>> ParseSylk(const std::vector<std::string>& lines,
                                                bool numbers);

}  // namespace orbelan::fuzz
