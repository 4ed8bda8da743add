#pragma once
// Guessing the code page of a table whose header names none, from a sample of its text, and
// reading the GIS programs' .cpg file that names it beside the table.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orbelan {

struct PageGuess {
    std::string page;    // a CodePage name
    bool ascii = false;  // the sample has no byte above 127: the default page, nothing guessed
    int confidence = 0;  // percent, for a guess
};

// The pages a guess chooses among. When several read the sample alike, the first of them wins.
const std::vector<std::string>& GuessCandidates();

// The page the sample's bytes fit best. The sample holds text values separated by blanks.
PageGuess GuessCodePage(std::string_view sample, const std::string& defaultPage);

// The bytes above 127 of a text by their neighbours (a letter, a capital, a sign), counted
// piece by piece: what scores a single-byte page, for a sample or a whole file.
class HighByteCounts {
  public:
    void Feed(std::string_view text);
    // Count index: (byte - 0x80) * 16 + side before * 4 + side after.
    std::array<uint32_t, 128 * 16> count{};

  private:
    unsigned char last_ = 0;  // the byte before the next piece
};

// The single-byte page among pages that reads the counted bytes best (the first on a tie).
std::string BestSingleBytePage(const HighByteCounts& counts, const std::vector<std::string>& pages);

// The score of each candidate (GuessCandidates' order) for the sample: higher fits better.
std::vector<double> CandidateScores(std::string_view sample);

// The page named by the .cpg file beside a table ("1250", "UTF-8", "ANSI 1252", "ISO-8859-2"),
// empty when there is none or it names no page we know. cpgPath receives the file's path.
std::string PageOfCpgFile(const std::string& tablePath, std::string* cpgPath = nullptr);

// What a .cpg file holds to name page as the GIS programs write it: "1250", "88592", "UTF-8".
std::string CpgTextOf(const std::string& page);
// The .cpg file of the table at tablePath: the existing one in any letter case, else a new
// name whose extension takes the case of the table's.
std::string CpgPathFor(const std::string& tablePath);

}  // namespace orbelan
