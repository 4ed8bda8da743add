#pragma once
// Code pages of DBF files: single-byte ones converted through tables compiled into the program,
// and UTF-8 (which some newer programs put in a DBF), read and written as it is.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace orbelan {

class CodePage {
  public:
    // name: "cp1250", "cp852", ... (case-insensitive). Throws DbfError (Conversion) when unknown.
    static std::shared_ptr<const CodePage> Get(std::string_view name);
    // The code page named by a header's language-driver byte; nullptr for 0 or an unknown byte.
    static std::shared_ptr<const CodePage> FromLanguageDriver(uint8_t ldid);
    // The language-driver byte that names this code page (0 when there is none).
    uint8_t LanguageDriver() const;

    const std::string& Name() const { return name_; }
    bool IsUtf8() const { return utf8_; }
    // The character of a byte (single-byte pages); 0xFFFF when the byte has none.
    char32_t CharOf(uint8_t byte) const { return chars_[byte]; }
    // The byte that holds cp in this single-byte page, if any (no best fit).
    bool ByteOf(char32_t cp, uint8_t& byte) const;
    // Bytes 0..127 are ASCII: pure ASCII text is the same in this page.
    bool AsciiIdentity() const;

    // Bytes -> UTF-8; never fails (bytes without a character map to U+FFFD).
    std::string Decode(std::string_view bytes) const;
    void AppendDecoded(std::string_view bytes, std::string& out) const;
    // UTF-8 -> bytes; throws DbfError (Conversion) naming the first character it can't hold.
    std::string Encode(std::string_view utf8) const;
    // The same appended to out; on failure out holds what was encoded before the character.
    void AppendEncoded(std::string_view utf8, std::string& out) const;

    explicit CodePage(std::string name);  // use Get()

  private:
    std::string name_;
    bool utf8_ = false;
    std::array<char32_t, 256> chars_{};
    std::array<std::string, 256> decode_;  // UTF-8 of each byte
    struct EncodeMap;
    std::shared_ptr<EncodeMap> encode_;
};

}  // namespace orbelan
