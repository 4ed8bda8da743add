#pragma once
// Key expressions and FOR conditions of index tags, in the dBase/FoxPro expression language the
// applications wrote them in: fields, string and number constants, + and -, comparisons,
// .AND. .OR. .NOT. !, and the functions UPPER LOWER LEFT RIGHT SUBSTR TRIM RTRIM LTRIM ALLTRIM
// PADL PADR DTOS DTOC STR VAL IIF DELETED() (and RECNO-free helpers around them).
//
// Compiled once against a table's fields; evaluated on a record's stored bytes. Text values are
// bytes in the table's code page, as the index stores them.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orbelan {

struct DbfLayout;
class CodePage;

namespace index_detail {

// What a key is made of, which decides its encoding in each format.
enum class KeyKind : char {
    Text = 'C',
    Number = 'N',    // a double (N F B fields, arithmetic, VAL)
    Integer = 'I',   // an I field by itself (FoxPro keeps it as a 4-byte integer)
    Currency = 'Y',  // a Y field by itself
    Date = 'D',
    DateTime = 'T',
    Logical = 'L',
};

struct KeyValue {
    KeyKind kind = KeyKind::Text;
    bool null = false;    // a null field's value (Visual FoxPro nullable fields)
    std::string text;     // Text: bytes in the table's code page
    double number = 0;    // Number, Date (julian day), DateTime (julian day + fraction)
    int64_t integer = 0;  // Integer, Currency (ten-thousandths)
    bool flag = false;    // Logical
};

struct Node;

class KeyExpr {
  public:
    // Throws DbfError(Filter) with a Romanian message for what we can't compute.
    static KeyExpr Compile(std::string_view text, const DbfLayout& layout,
                           std::shared_ptr<const CodePage> page);
    KeyExpr();
    ~KeyExpr();
    KeyExpr(KeyExpr&&) noexcept;
    KeyExpr& operator=(KeyExpr&&) noexcept;

    KeyKind Kind() const;
    int Width() const;  // Text: the key's length in bytes
    // The expression is one nullable field by itself: keys carry a null marker byte (FoxPro).
    bool NullableField() const;
    // The field the expression is made of, alone or in UPPER(); -1 otherwise.
    int SoleField(bool* upper) const;
    KeyValue Eval(const uint8_t* record) const;
    // A text key made only of fields, UPPER() of fields, DTOS() of dates and constants joined
    // by +: written straight into out (Width() bytes), as Eval's text would be. False when the
    // expression is another kind, or this record needs Eval (a date that is not one).
    bool FastText(const uint8_t* record, char* out) const;
    bool Test(const uint8_t* record) const;  // a condition's result (false for a non-logical)

  private:
    struct Segment {
        enum Kind { Copy, Upper, Date, Literal } kind;
        int offset = 0, size = 0;
        std::string literal;
    };
    void Plan();
    bool PlanNode(const Node& n);

    std::vector<Segment> plan_;
    bool hasPlan_ = false;
    std::string upper_;  // UPPER of each byte of the code page
    std::shared_ptr<const Node> root_;
    std::shared_ptr<const CodePage> page_;
    const DbfLayout* layout_ = nullptr;
};

// Upper case of a code page's bytes (letters outside ASCII too, where the page has both cases).
std::string UpperBytes(std::string_view bytes, const CodePage& page);
// Each byte's letter in upper case without its accent (other bytes as they are): the order some
// programs keep text keys in, whatever their case and diacritics.
std::string FoldTable(const CodePage& page);
std::string LowerBytes(std::string_view bytes, const CodePage& page);

}  // namespace index_detail
}  // namespace orbelan
