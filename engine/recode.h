#pragma once
// Converting a table's text from one code page to another: every character and memo value, with
// the characters the new page lacks found before anything is written.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/codepage.h"
#include "engine/dbf_file.h"

namespace orbelan {

// Text in one page turned into another's bytes. A character the target lacks takes its known
// twin when it has one (the comma-below Ș ș Ț ț and the cedilla Ş ş Ţ ţ), else becomes "?".
class Recoder {
  public:
    Recoder(const CodePage& from, const CodePage& to);
    // Appends in's text in the target page; false when a character had to become "?".
    bool Convert(std::string_view in, std::string& out) const;
    // The twins used so far by Convert, as "ș -> ş".
    std::vector<std::string> FitsUsed() const;
    // Single-byte source: the target byte of each byte (its twin's, or "?"), for converting in
    // place, and whether a byte needs more than a plain mapping (1: a twin, 2: lacking).
    bool SingleByte() const { return !from_.IsUtf8(); }
    const std::array<uint8_t, 256>& Direct() const { return direct_; }
    const std::array<uint8_t, 256>& Special() const { return special_; }

  private:
    bool Put(char32_t cp, std::string& out) const;
    const CodePage& from_;
    const CodePage& to_;
    std::array<int16_t, 256> bytes_{};  // single-byte source: target byte, -1 none, -2 twin
    std::array<uint8_t, 256> direct_{}, special_{};
    mutable std::vector<char32_t> fits_;
};

struct RecodeCheck {
    std::vector<std::string> fits;  // twins that would be used, as "ș -> ş"
};

// What a conversion of file's text into `to` would lose, found before anything is written:
// lacking is called for each value holding a character the target page lacks (the record from
// 0, the field, the value's stored bytes).
using LackingValue = std::function<void(uint32_t record, int field, std::string_view bytes)>;
RecodeCheck CheckRecode(const DbfFile& file, const CodePage& to, const LackingValue& lacking);

// The conversion's rewrite: every text and memo value in `to`, whose byte goes into the header.
// The file is replaced whole or not at all (engine/rewrite.h); reopen opens the new one.
std::unique_ptr<DbfFile> RecodeFile(const DbfFile& source, const CodePage& to,
                                    const DbfOpenOptions& reopen);

}  // namespace orbelan
