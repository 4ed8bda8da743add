#include "engine/codepage_detect.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "engine/codepage.h"
#include "engine/dbf_header.h"
#include "engine/errors.h"
#include "engine/latin_letters.h"
#include "engine/trim.h"
#include "engine/utf8.h"
#include "engine/utf8_path.h"

namespace orbelan {
namespace {

bool In(char32_t cp, std::u32string_view set) {
    return set.find(cp) != std::u32string_view::npos;
}

// How likely a character is in the names and addresses of a Romanian table: its own letters
// first, then the Hungarian and German ones of Transylvania, the Serbian and Slovak ones of the
// Banat, the accented vowels of Western names, the rest of Central Europe's letters, rare ones.
// Box drawings, symbols and controls are what a wrong page makes of letters. Negative: unlikely.
double Likelihood(char32_t cp) {
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0) || cp == 0xFFFF) return -8;
    if (In(cp, U"ĂăÂâÎîŞşŢţȘșȚț")) return 3;
    if (In(cp, U"ÁáÉéÍíÓóÖöŐőÚúÜüŰűÄäß")) return 2;
    if (In(cp, U"ŠšŽžĆćĐđ")) return 1.1;
    if (In(cp, U"ÈèÀàÊêÔôËëÏïÛûÙùÒòÌìÑñÇç")) return 1;
    if (In(cp, U"Čč")) return 0.8;
    if (In(cp, U"ŘřŇňĚěŮůŔŕĹĺĽľŤťĎďŁłŚśŹźŻżĄąĘęŃńÝý")) return 0.5;
    if (cp >= 0xC0 && cp <= 0x24F && cp != 0xD7 && cp != 0xF7) return 0.2;
    if (cp >= 0x370 && cp <= 0x52F) return -1.5;  // Greek, Cyrillic
    return -2;                                    // symbols, box drawings
}

// The neighbours of a character: nothing or punctuation, an ASCII capital, an ASCII small letter,
// or another byte above 127.
enum Side { kOther, kUpper, kLower, kHigh };

Side SideOf(unsigned char b) {
    if (b >= 0x80) return kHigh;
    if (b >= 'A' && b <= 'Z') return kUpper;
    if (b >= 'a' && b <= 'z') return kLower;
    return kOther;
}

double Score(char32_t cp, Side before, Side after) {
    double s = Likelihood(cp);
    if (s < 0) {
        // A sign inside a word is where a letter should be.
        const bool inWord =
            before == kUpper || before == kLower || after == kUpper || after == kLower;
        return s == -2 && inWord ? -4 : s == -2 ? -1 : s;
    }
    // A letter takes the case of the letter before it; a small one does not come before capitals.
    const bool upper = latin::IsUpper(cp);
    if (before == kUpper || before == kLower) {
        if ((before == kUpper) != upper) s -= 2;
    } else if (after == kUpper && !upper) {
        s -= 2;
    }
    return s;
}

double SingleByteScore(const CodePage& page, const HighByteCounts& bins) {
    double total = 0;
    for (size_t k = 0; k < bins.count.size(); ++k) {
        if (bins.count[k] == 0) continue;
        const auto byte = static_cast<uint8_t>(0x80 + k / 16);
        const auto before = static_cast<Side>((k / 4) % 4);
        const auto after = static_cast<Side>(k % 4);
        // Another high byte beside: judged as a letter of the same word, case unknown.
        total += bins.count[k] * Score(page.CharOf(byte), before == kHigh ? kOther : before,
                                       after == kHigh ? kOther : after);
    }
    return total;
}

// Valid multibyte sequences weigh more than the same letters read one byte at a time could;
// a broken one counts as a byte no page has.
double Utf8Score(std::string_view s) {
    double total = 0;
    size_t i = 0;
    while (i < s.size()) {
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            ++i;
            continue;
        }
        const Side before = i > 0 ? SideOf(static_cast<unsigned char>(s[i - 1])) : kOther;
        const long cp = utf8::NextCodePoint(s, i);
        if (cp < 0) {
            total -= 8;
            continue;
        }
        const Side after = i < s.size() ? SideOf(static_cast<unsigned char>(s[i])) : kOther;
        total += Score(static_cast<char32_t>(cp), before == kHigh ? kOther : before,
                       after == kHigh ? kOther : after) +
                 4;
    }
    return total;
}

}  // namespace

const std::vector<std::string>& GuessCandidates() {
    static const std::vector<std::string> pages = {"cp1250", "iso8859_2", "iso8859_16", "cp852",
                                                   "cp1252", "cp437",     "utf-8"};
    return pages;
}

void HighByteCounts::Feed(std::string_view s) {
    const size_t n = s.size();
    for (size_t i = 0; i < n; ++i) {
        // A whole file may come through here: runs of ASCII are passed eight bytes at a time.
        for (uint64_t word; i + 8 <= n && (std::memcpy(&word, s.data() + i, 8),
                                           (word & 0x8080808080808080ull) == 0);)
            i += 8;
        if (i == n) break;
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) continue;
        const Side before = SideOf(i > 0 ? static_cast<unsigned char>(s[i - 1]) : last_);
        const Side after = i + 1 < n ? SideOf(static_cast<unsigned char>(s[i + 1])) : kOther;
        ++count[(b - 0x80) * 16 + before * 4 + after];
    }
    if (n > 0) last_ = static_cast<unsigned char>(s[n - 1]);
}

std::string BestSingleBytePage(const HighByteCounts& counts,
                               const std::vector<std::string>& pages) {
    std::string best;
    double bestScore = 0;
    for (const std::string& name : pages) {
        const double score = SingleByteScore(*CodePage::Get(name), counts);
        if (best.empty() || score > bestScore) best = name, bestScore = score;
    }
    return best;
}

std::vector<double> CandidateScores(std::string_view sample) {
    HighByteCounts bins;
    bins.Feed(sample);
    std::vector<double> scores;
    for (const std::string& name : GuessCandidates()) {
        const auto page = CodePage::Get(name);
        scores.push_back(page->IsUtf8() ? Utf8Score(sample) : SingleByteScore(*page, bins));
    }
    return scores;
}

PageGuess GuessCodePage(std::string_view sample, const std::string& defaultPage) {
    PageGuess guess;
    bool high = false;
    for (const char c : sample)
        if (static_cast<unsigned char>(c) >= 0x80) {
            high = true;
            break;
        }
    if (!high) {
        guess.page = defaultPage;
        guess.ascii = true;
        return guess;
    }
    const std::vector<double> scores = CandidateScores(sample);
    size_t best = 0;
    for (size_t k = 1; k < scores.size(); ++k)
        if (scores[k] > scores[best]) best = k;
    // Pages that read the sample alike score alike: the margin is to the best that reads it
    // otherwise.
    double second = -1e300;
    for (size_t k = 0; k < scores.size(); ++k)
        if (scores[k] < scores[best] && scores[k] > second) second = scores[k];
    const double margin = second == -1e300 ? 100 : scores[best] - second;
    guess.page = GuessCandidates()[best];
    guess.confidence =
        std::min(99, static_cast<int>(std::lround(100 * (1 - 0.5 * std::exp(-margin / 3)))));
    return guess;
}

std::string PageOfCpgFile(const std::string& tablePath, std::string* cpgPath) {
    const std::string path = FindWithExtension(PathWithoutExtension(tablePath), ".cpg");
    if (path.empty()) return {};
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.size() > 64) return {};
    text = std::string(Trim(text));
    std::string upper = latin::AsciiUpper(text);
    // "ANSI 1250", "OEM 852" name a page by its number; "88592" is ISO-8859-2.
    for (const char* prefix : {"ANSI ", "OEM ", "CP"})
        if (upper.rfind(prefix, 0) == 0)
            upper =
                std::string(Trim(std::string_view(upper).substr(std::string_view(prefix).size())));
    std::string name = upper;
    if (!upper.empty() && upper.find_first_not_of("0123456789") == std::string::npos)
        name = upper.size() > 4 && upper.rfind("8859", 0) == 0 ? "iso8859_" + upper.substr(4)
                                                               : "cp" + upper;
    try {
        const std::string page = CodePage::Get(name)->Name();
        if (cpgPath) *cpgPath = path;
        return page;
    } catch (const DbfError&) {
        return {};
    }
}

std::string CpgTextOf(const std::string& page) {
    const std::string name = CodePage::Get(page)->Name();
    if (name.rfind("iso8859_", 0) == 0) return "8859" + name.substr(8);
    if (name.rfind("cp", 0) == 0 && name.find_first_not_of("0123456789", 2) == std::string::npos)
        return name.substr(2);
    if (CodePage::Get(name)->IsUtf8()) return "UTF-8";
    return name;
}

std::string CpgPathFor(const std::string& tablePath) {
    const std::string base = PathWithoutExtension(tablePath);
    if (std::string found = FindWithExtension(base, ".cpg"); !found.empty()) return found;
    const std::string ext = tablePath.substr(base.size());
    const bool upper = ext.size() > 1 && std::isupper(static_cast<unsigned char>(ext[1]));
    return base + (upper ? ".CPG" : ".cpg");
}

}  // namespace orbelan
