#pragma once
// What the .xls reading process (importing/xls_reader) writes on its standard output, and the
// program reads back. Numbers are little-endian, counts and lengths 32 bits.
//
//   'N' name          one per sheet, in order
//   'S' index         the sheet chosen (0-based), then its rows; or
//   'X'               no sheet matches the one asked for
//   'F' stage text    freexl could not read the file (stage: 'o' open, 's' the sheet, 'c' a cell)
//   'R' row count     a row (0-based) and its non-empty cells, rows ascending, each cell:
//                     column (16 bits), then 'i' int32 | 'f' double | 't' text | 'd' date text
//                     ("yyyy-mm-dd" or "yyyy-mm-dd hh:mm:ss", as freexl writes them)
//   'E'               the end: a stream without it was cut short
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace orbelan::xls_stream {

inline void PutU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline void PutU16(std::string& out, uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

inline void PutText(std::string& out, std::string_view text) {
    PutU32(out, static_cast<uint32_t>(text.size()));
    out += text;
}

inline void PutDouble(std::string& out, double v) {
    uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    PutU32(out, static_cast<uint32_t>(bits));
    PutU32(out, static_cast<uint32_t>(bits >> 32));
}

// Reads a stream, never past its end: every getter returns false once it would.
class Reader {
  public:
    explicit Reader(std::string_view data) : data_(data) {}
    size_t Offset() const { return at_; }
    void Seek(size_t at) { at_ = at; }
    bool AtEnd() const { return at_ >= data_.size(); }

    bool Byte(char& c) {
        if (at_ >= data_.size()) return false;
        c = data_[at_++];
        return true;
    }
    bool U16(uint16_t& v) {
        if (data_.size() - at_ < 2) return false;
        v = static_cast<uint16_t>(static_cast<unsigned char>(data_[at_]) |
                                  static_cast<unsigned char>(data_[at_ + 1]) << 8);
        at_ += 2;
        return true;
    }
    bool U32(uint32_t& v) {
        if (data_.size() - at_ < 4) return false;
        v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(data_[at_ + static_cast<size_t>(i)]);
        at_ += 4;
        return true;
    }
    bool Double(double& v) {
        uint32_t low = 0, high = 0;
        if (!U32(low) || !U32(high)) return false;
        const uint64_t bits = static_cast<uint64_t>(high) << 32 | low;
        std::memcpy(&v, &bits, sizeof v);
        return true;
    }
    bool Text(std::string_view& text) {
        uint32_t n = 0;
        if (!U32(n) || data_.size() - at_ < n) return false;
        text = data_.substr(at_, n);
        at_ += n;
        return true;
    }

  private:
    std::string_view data_;
    size_t at_ = 0;
};

}  // namespace orbelan::xls_stream
