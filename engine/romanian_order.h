#pragma once
// Romanian alphabetical order of text as a table stores it: A Ă Â B C ... I Î J ... S Ş T Ţ ... Z,
// the comma-below Ș Ț with their cedilla twins, capital and small letters of one letter together,
// other accented letters with their base letter; blanks, digits and signs before the letters.
// Values equal in that order are ordered by their bytes, so the order is total.
//
// A sort compares keys, not characters: the key of a value is its letters' weights, a 0, then its
// bytes. For a single-byte page a weight is one byte (Weights()), so a sort can make the key on
// the fly from the stored bytes; for UTF-8 a weight takes two bytes (AppendKey).
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace orbelan {

class CodePage;

class RomanianOrder {
  public:
    // The order for text in page, made once per page.
    static const RomanianOrder& For(const CodePage& page);

    // Single-byte pages: the weight of each byte, 1 and up. nullptr for UTF-8.
    const uint8_t* Weights() const { return utf8_ ? nullptr : weights_.data(); }
    // Single-byte pages: 1 for the lowest byte of each weight. Two values made of these bytes
    // only are equal when their weights are: a sort need not look at their bytes again.
    const uint8_t* SoleBytes() const { return utf8_ ? nullptr : sole_.data(); }
    void AppendKey(std::string_view bytes, std::string& out) const;
    // <0, 0, >0 as a before, equal to, after b.
    int Compare(std::string_view a, std::string_view b) const;

    explicit RomanianOrder(const CodePage& page);  // use For()

  private:
    bool utf8_ = false;
    std::array<uint8_t, 256> weights_{};
    std::array<uint8_t, 256> sole_{};
};

// The place of a character in the order (1 and up): what the weights are made of.
uint16_t RomanianRank(char32_t cp);

}  // namespace orbelan
