#include "engine/recode.h"

#include <algorithm>
#include <cstring>

#include "engine/errors.h"
#include "engine/field_value.h"
#include "engine/latin_letters.h"
#include "engine/rewrite.h"
#include "engine/utf8.h"

namespace orbelan {
namespace {

bool IsTextMemo(const FieldDef& def) {
    return def.type == 'M';
}

struct TextFields {
    std::vector<int> fixed, variable, memo, otherMemo;
};

TextFields FieldsOf(const DbfFile& file) {
    TextFields t;
    for (int i = 0; i < file.FieldCount(); ++i) {
        const FieldDef& def = file.FieldAt(i).def;
        if (def.type == 'C')
            t.fixed.push_back(i);
        else if (def.type == 'V')
            t.variable.push_back(i);
        else if (IsTextMemo(def))
            t.memo.push_back(i);
        else if (def.IsMemo())
            t.otherMemo.push_back(i);
    }
    return t;
}

}  // namespace

Recoder::Recoder(const CodePage& from, const CodePage& to) : from_(from), to_(to) {
    if (from.IsUtf8()) return;
    for (int b = 0; b < 256; ++b) {
        const char32_t cp = from.CharOf(static_cast<uint8_t>(b));
        uint8_t out = 0;
        if (cp != 0xFFFF && to.ByteOf(cp, out))
            bytes_[b] = out;
        else if (const char32_t twin = latin::CommaCedillaTwin(cp);
                 twin != 0 && to.ByteOf(twin, out))
            bytes_[b] = -2;
        else
            bytes_[b] = -1;
        direct_[b] = bytes_[b] >= 0 ? static_cast<uint8_t>(bytes_[b]) : bytes_[b] == -2 ? out : '?';
        special_[b] = bytes_[b] >= 0 ? 0 : bytes_[b] == -2 ? 1 : 2;
    }
}

bool Recoder::Put(char32_t cp, std::string& out) const {
    uint8_t b = 0;
    if (to_.ByteOf(cp, b)) {
        out += static_cast<char>(b);
        return true;
    }
    if (const char32_t twin = latin::CommaCedillaTwin(cp); twin != 0 && to_.ByteOf(twin, b)) {
        if (std::find(fits_.begin(), fits_.end(), cp) == fits_.end()) fits_.push_back(cp);
        out += static_cast<char>(b);
        return true;
    }
    out += '?';
    return false;
}

bool Recoder::Convert(std::string_view in, std::string& out) const {
    bool whole = true;
    if (!from_.IsUtf8()) {
        for (const char c : in) {
            const int16_t b = bytes_[static_cast<uint8_t>(c)];
            if (b >= 0)
                out += static_cast<char>(b);
            else
                whole = Put(from_.CharOf(static_cast<uint8_t>(c)), out) && whole;
        }
        return whole;
    }
    for (size_t i = 0; i < in.size();) {
        const long cp = utf8::NextCodePoint(in, i);
        whole = Put(cp < 0 ? 0xFFFD : static_cast<char32_t>(cp), out) && whole;
    }
    return whole;
}

std::vector<std::string> Recoder::FitsUsed() const {
    std::vector<std::string> named;
    for (const char32_t cp : fits_) {
        std::string text;
        utf8::AppendCodePoint(text, cp);
        text += " -> ";
        utf8::AppendCodePoint(text, latin::CommaCedillaTwin(cp));
        named.push_back(text);
    }
    return named;
}

RecodeCheck CheckRecode(const DbfFile& file, const CodePage& to, const LackingValue& lacking) {
    RecodeCheck check;
    const Recoder recoder(file.Page(), to);
    const TextFields t = FieldsOf(file);
    std::vector<int> all = t.fixed;
    all.insert(all.end(), t.variable.begin(), t.variable.end());
    std::string scratch;
    const auto look = [&](uint32_t r, int field, std::string_view bytes) {
        if (recoder.SingleByte()) {
            // Most values need nothing more than the mapping: one pass over the bytes says so.
            uint8_t special = 0;
            for (const char c : bytes) special |= recoder.Special()[static_cast<uint8_t>(c)];
            if (special == 0) return;
        }
        scratch.clear();
        if (recoder.Convert(bytes, scratch)) return;
        lacking(r, field, bytes);
    };
    std::vector<FieldReader> readers;
    for (const int i : all) readers.emplace_back(file.Layout(), file.FieldAt(i));
    for (uint32_t r = 0; r < file.RecordCount(); ++r) {
        const uint8_t* rec = file.Record(r);
        for (size_t k = 0; k < all.size(); ++k) look(r, all[k], readers[k].Text(rec));
        for (const int i : t.memo) {
            const MemoValue m = file.MemoBytes(rec, i);
            if (m.ok && m.type == 1) look(r, i, m.bytes);
        }
    }
    check.fits = recoder.FitsUsed();
    return check;
}

std::unique_ptr<DbfFile> RecodeFile(const DbfFile& source, const CodePage& to,
                                    const DbfOpenOptions& reopen) {
    if (to.IsUtf8()) throw DbfError(ErrorKind::Conversion, "Un tabel nu se converteste in UTF-8.");
    const Recoder recoder(source.Page(), to);
    const TextFields t = FieldsOf(source);
    RewritePlan plan;
    plan.structure = StructureOf(source);
    plan.structure->codePage = to.Name();
    plan.structure->languageDriver = -1;   // the new page's own byte
    plan.structure->copyMemoFrom.clear();  // every memo value is written again, in the new page
    plan.structure->freshMemo = true;
    plan.fill = [&](const DbfFile& old, DbfWriter& w) {
        const size_t length = old.RecordLength();
        if (w.Layout().recordLength != length)
            throw DbfError(ErrorKind::State, "Tabelul " + old.Path() + " are alta structura.");
        std::vector<FieldReader> readers;
        for (const int i : t.variable) readers.emplace_back(old.Layout(), old.FieldAt(i));
        const FormatSettings format;
        std::string text;
        for (uint32_t r = 0; r < old.RecordCount(); ++r) {
            const uint8_t* rec = old.Record(r);
            w.BeginRow();
            uint8_t* row = w.Row();
            std::memcpy(row, rec, length);
            for (const int i : t.fixed) {
                const FieldDef& def = old.FieldAt(i).def;
                const auto size = static_cast<size_t>(def.size);
                if (recoder.SingleByte()) {
                    uint8_t* p = row + def.offset;
                    for (size_t k = 0; k < size; ++k) p[k] = recoder.Direct()[p[k]];
                    continue;
                }
                text.clear();
                recoder.Convert({reinterpret_cast<const char*>(rec) + def.offset, size}, text);
                text.resize(size, ' ');  // UTF-8 text is longer than what it becomes
                std::memcpy(row + def.offset, text.data(), size);
            }
            for (size_t k = 0; k < t.variable.size(); ++k) {
                text.clear();
                recoder.Convert(readers[k].Text(rec), text);
                w.SetText(t.variable[k], to.Decode(text), format);
            }
            for (const int i : t.memo) {
                const MemoValue m = old.MemoBytes(rec, i);
                if (!m.ok) throw DbfError(ErrorKind::Conversion, m.bytes);
                text.clear();
                if (m.type == 1)
                    recoder.Convert(m.bytes, text);
                else
                    text = m.bytes;
                w.SetMemoBytes(i, text, m.type);
            }
            for (const int i : t.otherMemo) {
                const MemoValue m = old.MemoBytes(rec, i);
                if (!m.ok) throw DbfError(ErrorKind::Conversion, m.bytes);
                w.SetMemoBytes(i, m.bytes, m.type);
            }
            w.EndRow();
        }
    };
    return RewriteFile(source, plan, reopen);
}

}  // namespace orbelan
