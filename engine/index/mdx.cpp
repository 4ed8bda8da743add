// The production index of dBase IV, 5 and 7 (.mdx): a 2048-byte header with a table of up to 48
// tags, each tag a header block and a tree of 1024-byte blocks addressed in 512-byte pages.
// A block holds its entry count, then (pointer, key) entries: in a leaf the pointer is a record
// number; in a branch a child block, with one more child after the last key.
//
// Character keys only: numeric and date keys (BCD numbers, doubles) are read as they are stored
// but not computed, so such tags are not kept by this program. Changes are written as a new
// file (rebuild); there is no in-place upkeep of an .mdx yet.
#include <algorithm>
#include <cstring>
#include <ctime>

#include "engine/byte_order.h"
#include "engine/errors.h"
#include "engine/index/index_file.h"

namespace orbelan::index_detail {

namespace {

constexpr uint32_t kUnit = 512;     // pages are counted in these
constexpr uint32_t kBlock = 1024;   // one block: two pages
constexpr uint32_t kHeader = 2048;  // header and tag table
constexpr int kMaxTags = 47;


int RecordLength(int keyLength) {
    return (keyLength + 4 + 3) / 4 * 4;
}
int KeysPerBlock(int keyLength) {
    return static_cast<int>((kBlock - 12) / static_cast<uint32_t>(RecordLength(keyLength)));
}

class Mdx : public IndexFile {
  public:
    void Parse() override {
        if (data_.size() < kHeader)
            throw DbfError(ErrorKind::Malformed,
                           "Fisierul " + path + " e prea scurt pentru un index dBase.");
        const int used = GetLE16(data_, 28);
        if (GetLE16(data_, 22) != kBlock || used > kMaxTags || static_cast<uint8_t>(data_[26]) != 32)
            throw DbfError(ErrorKind::Malformed,
                           "Fisierul " + path +
                               " nu este un index dBase (.mdx) citit de acest "
                               "program (blocuri de " +
                               std::to_string(GetLE16(data_, 22)) + " octeti).");
        for (int i = 0; i < used; ++i) {
            const size_t e = 544 + size_t(i) * 32;
            TagDef t;
            t.header = GetLE32(data_, e) * kUnit;
            std::string name = data_.substr(e + 4, 11);
            name.resize(std::min(name.size(), name.find('\0')));
            while (!name.empty() && name.back() == ' ') name.pop_back();
            if (uint64_t(t.header) + kBlock > data_.size())
                throw DbfError(ErrorKind::Malformed,
                               "Eticheta " + name + " din " + path + " arata in afara fisierului.");
            const size_t h = t.header;
            t.headerBytes = data_.substr(h, kBlock);
            t.info.name = name;
            t.options = static_cast<uint8_t>(data_[h + 8]);
            t.info.keyType = data_[h + 9];
            t.keyLength = GetLE16(data_, h + 12);
            t.info.keyLength = t.keyLength;
            t.info.unique = data_[h + 23] != 0;
            t.info.descending = (t.options & 0x08) != 0;
            std::string expr = data_.substr(h + 24, 220);
            expr.resize(std::min(expr.size(), expr.find('\0')));
            while (!expr.empty() && expr.back() == ' ') expr.pop_back();
            t.info.expression = expr;
            t.trail = ' ';
            if (t.keyLength <= 0 || t.keyLength > 100 ||
                GetLE16(data_, h + 18) != RecordLength(t.keyLength))
                throw DbfError(ErrorKind::Malformed,
                               "Eticheta " + name + " din " + path + " are un antet gresit.");
            tags.push_back(std::move(t));
        }
    }

    void Walk(const TagDef& tag, const std::string& from, const Visit& visit) const override {
        std::vector<bool> seen(data_.size() / kUnit + 1);
        try {
            WalkBlock(tag, GetLE32(data_, tag.header), from, visit, 0, seen);
        } catch (const Stop&) {
        }
    }

    std::string Encode(const TagDef& tag, const KeyValue& v) const override {
        if (v.kind != KeyKind::Text)
            throw DbfError(ErrorKind::State,
                           "Cheile netext din " + path + " nu sunt scrise de acest program.");
        std::string key = v.text;
        key.resize(static_cast<size_t>(tag.keyLength), ' ');
        return key;
    }

    std::string Supports(const TagDef& tag, const KeyExpr& expr) const override {
        if (expr.Kind() != KeyKind::Text || tag.info.keyType != 'C')
            return "cheile numerice si de data ale indexului .mdx nu sunt calculate de acest "
                   "program";
        if (expr.Width() != tag.keyLength)
            return "cheia calculata are " + std::to_string(expr.Width()) + " octeti, indexul " +
                   std::to_string(tag.keyLength);
        if (!tag.info.forCondition.empty())
            return "conditiile FOR ale indexului .mdx nu sunt scrise de acest program";
        return {};
    }

    TagDef Define(const NewIndexTag& t, const KeyExpr& expr) const override {
        TagDef d;
        d.info.name = t.name;
        d.info.expression = t.expression;
        d.info.forCondition = t.forCondition;
        d.info.unique = t.unique;
        d.info.descending = t.descending;
        d.info.keyType = expr.Kind() == KeyKind::Text ? 'C' : static_cast<char>(expr.Kind());
        d.keyLength = expr.Kind() == KeyKind::Text ? expr.Width() : 8;
        d.info.keyLength = d.keyLength;
        d.options = static_cast<uint8_t>(0x10 | (t.descending ? 0x08 : 0) | (t.unique ? 0x40 : 0));
        return d;
    }

    void Insert(TagDef&, const std::string&, uint32_t) override { NotInPlace(); }
    bool Remove(TagDef&, const std::string&, uint32_t) override { NotInPlace(); }

    std::string Build(std::vector<TagDef>& defs,
                      const std::vector<std::vector<Entry>>& keys) const override {
        if (defs.size() > size_t(kMaxTags))
            throw DbfError(ErrorKind::State, "Un index .mdx tine cel mult 47 de etichete.");
        std::string out =
            data_.size() >= kHeader ? data_.substr(0, kHeader) : std::string(kHeader, '\0');
        if (data_.size() < kHeader) {
            out[0] = 2;
            std::string base = path.substr(path.find_last_of("/\\") + 1);
            base = base.substr(0, base.find_last_of('.'));
            base.resize(std::min<size_t>(base.size(), 16));
            std::copy(base.begin(), base.end(), out.begin() + 4);
            PutLE16(out, 20, kBlock / kUnit);
            out[24] = 1;  // production
            out[25] = 48;
            out[26] = 32;
        }
        PutLE16(out, 22, kBlock);
        PutLE16(out, 28, static_cast<uint16_t>(defs.size()));
        PutLE32(out, 36, 0);
        PutLE32(out, 40, 0);
        std::fill(out.begin() + 544, out.end(), '\0');
        const std::time_t now = std::time(nullptr);
        if (const std::tm* tm = std::localtime(&now)) {
            out[44] = static_cast<char>(tm->tm_year % 100);
            out[45] = static_cast<char>(tm->tm_mon + 1);
            out[46] = static_cast<char>(tm->tm_mday);
        }
        for (size_t i = 0; i < defs.size(); ++i) {
            TagDef& d = defs[i];
            if (d.info.expression.size() > 219)
                throw DbfError(ErrorKind::State, "Expresia etichetei " + d.info.name +
                                                     " este prea lunga pentru un index .mdx.");
            d.header = static_cast<uint32_t>(out.size());
            std::string h =
                d.headerBytes.size() == kBlock ? d.headerBytes : std::string(kBlock, '\0');
            h[8] = static_cast<char>(d.options ? d.options : 0x10);
            h[9] = d.info.keyType;
            PutLE16(h, 12, static_cast<uint16_t>(d.keyLength));
            PutLE16(h, 14, static_cast<uint16_t>(KeysPerBlock(d.keyLength)));
            PutLE16(h, 18, static_cast<uint16_t>(RecordLength(d.keyLength)));
            h[23] = d.info.unique ? 1 : 0;
            std::fill(h.begin() + 24, h.begin() + 24 + 220, '\0');
            std::copy(d.info.expression.begin(), d.info.expression.end(), h.begin() + 24);
            out += h;
            const uint32_t root = Blocks(d, keys[i], out);
            PutLE32(out, d.header, root);
            PutLE32(out, d.header + 4, static_cast<uint32_t>(out.size() / kUnit));
            const size_t e = 544 + i * 32;
            PutLE32(out, e, d.header / kUnit);
            std::string name = d.info.name.substr(0, 10);
            std::copy(name.begin(), name.end(), out.begin() + static_cast<long>(e) + 4);
            out[e + 15] = static_cast<char>(d.options ? d.options : 0x10);
            out[e + 20] = d.info.keyType;
        }
        PutLE32(out, 32, static_cast<uint32_t>(out.size() / kUnit));
        return out;
    }

  private:
    struct Stop {};

    [[noreturn]] void NotInPlace() const {
        throw DbfError(ErrorKind::State, "Indexul " + path +
                                             " (.mdx) nu poate fi inca tinut la zi rand cu rand: "
                                             "refaceti-l dupa schimbari.");
    }

    [[noreturn]] static void Bad(uint32_t page, const std::string& what) {
        throw Damage("blocul de la pagina " + std::to_string(page) + ": " + what);
    }

    void WalkBlock(const TagDef& tag, uint32_t page, const std::string& from, const Visit& visit,
                   int depth, std::vector<bool>& seen) const {
        const uint64_t off = uint64_t(page) * kUnit;
        if (page < kHeader / kUnit || off + kBlock > data_.size())
            Bad(page, "adresa in afara fisierului (fisier trunchiat?)");
        if (depth > 32 || seen[page]) Bad(page, "bloc folosit de doua ori");
        seen[page] = true;
        const uint32_t count = GetLE32(data_, off);
        const size_t rec = static_cast<size_t>(RecordLength(tag.keyLength));
        const size_t kl = static_cast<size_t>(tag.keyLength);
        if (count > uint32_t(KeysPerBlock(tag.keyLength))) Bad(page, "prea multe chei");
        const uint32_t right = GetLE32(data_, off + 8 + count * rec);
        std::string key;
        auto before = [&](const std::string& k) {
            if (from.empty()) return false;
            const int c = k.compare(0, from.size(), from);
            return tag.info.descending ? c > 0 : c < 0;
        };
        for (uint32_t i = 0; i < count; ++i) {
            const size_t e = off + 8 + i * rec;
            key.assign(data_, e + 4, kl);
            if (right == 0) {
                if (!before(key) && !visit(key, GetLE32(data_, e))) throw Stop();
            } else if (!before(key)) {
                WalkBlock(tag, GetLE32(data_, e), from, visit, depth + 1, seen);
            }
        }
        if (right != 0) WalkBlock(tag, right, from, visit, depth + 1, seen);
    }

    // The blocks of a tag's sorted keys, appended to out; the root's page number.
    uint32_t Blocks(const TagDef& tag, const std::vector<Entry>& keys, std::string& out) const {
        const size_t per = static_cast<size_t>(KeysPerBlock(tag.keyLength));
        const size_t rec = static_cast<size_t>(RecordLength(tag.keyLength));
        struct Child {
            uint32_t page;
            std::string last;  // its greatest key
        };
        std::vector<Child> level;
        size_t i = 0;
        do {
            std::string block(kBlock, '\0');
            const size_t n = std::min(per, keys.size() - i);
            PutLE32(block, 0, static_cast<uint32_t>(n));
            for (size_t j = 0; j < n; ++j) {
                PutLE32(block, 8 + j * rec, keys[i + j].rec);
                block.replace(8 + j * rec + 4, keys[i + j].key.size(), keys[i + j].key);
            }
            level.push_back({static_cast<uint32_t>(out.size() / kUnit),
                             n ? keys[i + n - 1].key : std::string()});
            out += block;
            i += n;
        } while (i < keys.size());
        // a branch of k children holds k-1 keys and the last child after them
        while (level.size() > 1) {
            std::vector<Child> up;
            for (size_t j = 0; j < level.size(); j += per + 1) {
                const size_t n = std::min(per + 1, level.size() - j);
                std::string block(kBlock, '\0');
                PutLE32(block, 0, static_cast<uint32_t>(n - 1));
                for (size_t k = 0; k + 1 < n; ++k) {
                    PutLE32(block, 8 + k * rec, level[j + k].page);
                    block.replace(8 + k * rec + 4, level[j + k].last.size(), level[j + k].last);
                }
                PutLE32(block, 8 + (n - 1) * rec, level[j + n - 1].page);
                up.push_back({static_cast<uint32_t>(out.size() / kUnit), level[j + n - 1].last});
                out += block;
            }
            level = std::move(up);
        }
        return level[0].page;
    }
};

}  // namespace

std::unique_ptr<IndexFile> MakeMdx() {
    return std::make_unique<Mdx>();
}

}  // namespace orbelan::index_detail
