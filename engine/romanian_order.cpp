#include "engine/romanian_order.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/codepage.h"
#include "engine/latin_letters.h"
#include "engine/utf8.h"

namespace orbelan {
namespace {

// The letters in Romanian order, each after its base letter.
constexpr int kLetterA = 0, kLetterAbreve = 1, kLetterAcirc = 2, kLetterIcirc = 11,
              kLetterScedil = 22, kLetterTcedil = 24;

int LetterIndex(char base) {
    // A Ă Â B C D E F G H I Î J K L M N O P Q R S Ş T Ţ U V W X Y Z
    const int k = static_cast<int>(latin::ToUpper(static_cast<unsigned char>(base))) - 'A';
    return k + (k >= 1 ? 2 : 0) + (k >= 9 ? 1 : 0) + (k >= 19 ? 1 : 0) + (k >= 20 ? 1 : 0);
}

int RomanianLetter(char32_t cp) {
    switch (cp) {
        case 0x102:
        case 0x103:
            return kLetterAbreve;
        case 0xC2:
        case 0xE2:
            return kLetterAcirc;
        case 0xCE:
        case 0xEE:
            return kLetterIcirc;
        case 0x15E:
        case 0x15F:
        case 0x218:
        case 0x219:
            return kLetterScedil;
        case 0x162:
        case 0x163:
        case 0x21A:
        case 0x21B:
            return kLetterTcedil;
        default:
            break;
    }
    const char base = latin::BaseLetter(cp);
    if (base == 0) return -1;
    return kLetterA + LetterIndex(base);
}

}  // namespace

uint16_t RomanianRank(char32_t cp) {
    if (const int letter = RomanianLetter(cp); letter >= 0)
        return static_cast<uint16_t>(0x200 + letter);
    if (cp < 0x80) return static_cast<uint16_t>(1 + cp);
    return static_cast<uint16_t>(std::min<char32_t>(0x300 + cp, 0xFFFF));
}

RomanianOrder::RomanianOrder(const CodePage& page) : utf8_(page.IsUtf8()) {
    if (utf8_) return;
    // The ranks of the page's bytes, made dense: they fit a byte, as letters share theirs.
    std::array<uint16_t, 256> rank{};
    for (int b = 0; b < 256; ++b) rank[b] = RomanianRank(page.CharOf(static_cast<uint8_t>(b)));
    std::vector<uint16_t> distinct(rank.begin(), rank.end());
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    for (int b = 0; b < 256; ++b) {
        const auto at = std::lower_bound(distinct.begin(), distinct.end(), rank[b]);
        weights_[b] = static_cast<uint8_t>(std::min<ptrdiff_t>(255, 1 + (at - distinct.begin())));
    }
    std::array<bool, 256> taken{};
    for (int b = 0; b < 256; ++b) {
        sole_[b] = !taken[weights_[b]];
        taken[weights_[b]] = true;
    }
}

const RomanianOrder& RomanianOrder::For(const CodePage& page) {
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<RomanianOrder>> made;
    std::lock_guard<std::mutex> lock(mutex);
    auto& order = made[page.Name()];
    if (!order) order = std::make_unique<RomanianOrder>(page);
    return *order;
}

void RomanianOrder::AppendKey(std::string_view bytes, std::string& out) const {
    if (utf8_) {
        for (size_t i = 0; i < bytes.size();) {
            const long cp = utf8::NextCodePoint(bytes, i);
            const uint16_t r = RomanianRank(cp < 0 ? 0xFFFD : static_cast<char32_t>(cp));
            out += static_cast<char>(r >> 8);
            out += static_cast<char>(r & 0xFF);
        }
        out.append(2, '\0');
    } else {
        for (const char c : bytes) out += static_cast<char>(weights_[static_cast<uint8_t>(c)]);
        out += '\0';
    }
    out.append(bytes);
}

int RomanianOrder::Compare(std::string_view a, std::string_view b) const {
    if (utf8_) {
        std::string ka, kb;
        AppendKey(a, ka);
        AppendKey(b, kb);
        const int c = ka.compare(kb);
        return (c > 0) - (c < 0);
    }
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const uint8_t wa = weights_[static_cast<uint8_t>(a[i])];
        const uint8_t wb = weights_[static_cast<uint8_t>(b[i])];
        if (wa != wb) return wa < wb ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    const int c = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n);
    return (c > 0) - (c < 0);
}

}  // namespace orbelan
