// FoxPro compact indexes: the compound .cdx (a tag directory that is itself a compact index of
// tag names, each name's "record" the offset of its tag) and the single-tag compact .idx.
//
// Pages are 512 bytes at file offsets. A leaf holds bit-packed (record, duplicate count,
// trailing count) triples from its start and the keys' remaining bytes from its end, each key
// sharing `duplicate` leading bytes with the one before and dropping `trailing` pad bytes. An
// interior page holds (key, record, child) with the key and record of the child's last entry.
#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/byte_order.h"
#include "engine/errors.h"
#include "engine/index/index_file.h"

namespace orbelan::index_detail {

namespace {

constexpr uint32_t kPage = 512;
constexpr uint32_t kLeafRoom = 488;      // a leaf's bytes after its 24-byte head
constexpr uint32_t kInteriorRoom = 500;  // an interior page's after its 12-byte head
constexpr uint16_t kRootBit = 1, kLeafBit = 2;

int BitsFor(uint64_t v) {
    return v == 0 ? 1 : std::bit_width(v);
}

struct Node {
    uint32_t off = 0;
    uint16_t attr = 0;
    uint32_t left = 0xFFFFFFFF, right = 0xFFFFFFFF;
    std::vector<Entry> e;
    std::vector<uint32_t> child;  // interior pages
    bool Leaf() const { return (attr & kLeafBit) != 0; }
};

// The layout of a leaf's packed triples.
struct LeafBits {
    int dupBits = 0, recBits = 0, bytes = 0;
};
LeafBits BitsOf(int keyLength, uint32_t maxRec) {
    LeafBits b;
    b.dupBits = BitsFor(static_cast<uint64_t>(keyLength));
    const int need = std::max(BitsFor(maxRec), 8) + 2 * b.dupBits;
    b.bytes = std::max(3, (need + 7) / 8);
    b.recBits = b.bytes * 8 - 2 * b.dupBits;
    return b;
}

size_t Shared(const std::string& a, const std::string& b) {
    size_t n = 0;
    const size_t m = std::min(a.size(), b.size());
    while (n < m && a[n] == b[n]) ++n;
    return n;
}
size_t Trailing(const std::string& key, char trail, size_t dup) {
    size_t t = 0;
    while (t + dup < key.size() && key[key.size() - 1 - t] == trail) ++t;
    return t;
}
// Bytes a key takes from the one before. Text keys take none of its padding: some readers
// fill dropped padding with NULs, and would then read them into the next key.
size_t Duplicate(const std::string& prev, const std::string& key, char trail) {
    size_t dup = Shared(prev, key);
    if (trail != '\0') dup = std::min(dup, prev.size() - Trailing(prev, trail, 0));
    return dup;
}

class Cdx : public IndexFile {
  public:
    explicit Cdx(bool compound) : compound_(compound) {}

    void Parse() override {
        if (data_.size() < 1024)
            throw DbfError(ErrorKind::Malformed,
                           "Fisierul de index " + path + " nu are lungimea unui index FoxPro.");
        const uint16_t kl = GetLE16(data_, 12);
        const uint8_t opt = static_cast<uint8_t>(data_[14]);
        if (kl == 0 || kl > 240 || (opt & 0x20) == 0)
            throw DbfError(ErrorKind::Malformed,
                           "Fisierul " + path + " nu este un index FoxPro compact.");
        if (!compound_) {
            tags.push_back(ReadTagHeader(0, BaseName(path)));
            return;
        }
        TagDef dir = DirectoryDef(0);
        std::vector<Entry> names;
        try {
            Walk(dir, {}, [&](const std::string& k, uint32_t rec) {
                names.push_back({k, rec});
                return true;
            });
        } catch (const Damage& d) {
            throw DbfError(ErrorKind::Malformed,
                           "Lista de etichete din " + path + " este deteriorata: " + d.what());
        }
        for (const Entry& n : names) {
            std::string name = n.key;
            while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.pop_back();
            if (n.rec % kPage != 0 || n.rec + 1024 > data_.size())
                throw DbfError(ErrorKind::Malformed,
                               "Eticheta " + name + " din " + path + " arata in afara fisierului.");
            tags.push_back(ReadTagHeader(n.rec, name));
        }
    }

    void Walk(const TagDef& tag, const std::string& from, const Visit& visit) const override {
        std::vector<bool> seen(data_.size() / kPage + 1);
        try {
            WalkNode(tag, GetLE32(data_, tag.header), from, visit, 0, seen);
        } catch (const Stop&) {
        }
    }

    std::string Encode(const TagDef& tag, const KeyValue& v) const override {
        std::string key;
        if (tag.nullMarker) {
            if (v.null) return std::string(static_cast<size_t>(tag.keyLength), '\0');
            key.push_back('\x80');
        } else if (v.null) {
            return std::string(static_cast<size_t>(tag.keyLength), '\0');
        }
        auto bigEndian = [&](uint64_t bits, int bytes) {
            for (int i = bytes - 1; i >= 0; --i) key.push_back(char(bits >> (8 * i)));
        };
        switch (v.kind) {
            case KeyKind::Text:
                key += v.text;
                break;
            case KeyKind::Number:
            case KeyKind::Date:
            case KeyKind::DateTime: {
                uint64_t bits = std::bit_cast<uint64_t>(v.number == 0 ? 0.0 : v.number);
                bits = (bits >> 63) ? ~bits : bits | (uint64_t(1) << 63);
                bigEndian(bits, 8);
                break;
            }
            case KeyKind::Integer:
                bigEndian(uint32_t(int32_t(v.integer)) ^ 0x80000000u, 4);
                break;
            case KeyKind::Currency:
                bigEndian(uint64_t(v.integer) ^ (uint64_t(1) << 63), 8);
                break;
            case KeyKind::Logical:
                key.push_back(v.flag ? 'T' : 'F');
                break;
        }
        key.resize(static_cast<size_t>(tag.keyLength), tag.trail);
        return key;
    }

    std::string Supports(const TagDef& tag, const KeyExpr& expr) const override {
        if (expr.Kind() == KeyKind::DateTime)
            return "cheile de tip data si ora nu sunt calculate de acest program";
        const int width = KeyWidth(expr);
        if (width != tag.keyLength)
            return "cheia calculata are " + std::to_string(width) + " octeti, indexul " +
                   std::to_string(tag.keyLength);
        return {};
    }

    TagDef Define(const NewIndexTag& t, const KeyExpr& expr) const override {
        TagDef d;
        d.info.name = t.name;
        d.info.expression = t.expression;
        d.info.forCondition = t.forCondition;
        d.info.unique = t.unique;
        d.info.candidate = t.candidate;
        d.info.descending = t.descending;
        d.info.collation = "MACHINE";
        d.nullMarker = expr.NullableField();
        d.keyLength = KeyWidth(expr);
        d.trail = expr.Kind() == KeyKind::Text ? ' ' : '\0';
        d.options = 0x60;
        if (t.unique) d.options |= 0x01;
        if (t.candidate) d.options |= 0x04;
        if (!t.forCondition.empty()) d.options |= 0x08;
        if (d.nullMarker) d.options |= 0x02;
        d.info.keyType = static_cast<char>(expr.Kind());
        d.info.keyLength = d.keyLength;
        return d;
    }

    void Insert(TagDef& tag, const std::string& key, uint32_t rec) override {
        std::vector<Step> path;
        Node leaf = Descend(tag, key, rec, path);
        const Entry target{key, rec};
        auto it = std::lower_bound(leaf.e.begin(), leaf.e.end(), target,
                                   [&](const Entry& a, const Entry& b) { return Less(tag, a, b); });
        leaf.e.insert(it, target);
        Store(tag, leaf, path, false);
    }

    bool Remove(TagDef& tag, const std::string& key, uint32_t rec) override {
        std::vector<Step> path;
        Node leaf = Descend(tag, key, rec, path);
        auto it = std::find_if(leaf.e.begin(), leaf.e.end(),
                               [&](const Entry& a) { return a.rec == rec && a.key == key; });
        if (it == leaf.e.end()) return false;
        leaf.e.erase(it);
        Store(tag, leaf, path, true);
        return true;
    }

    std::string Build(std::vector<TagDef>& defs,
                      const std::vector<std::vector<Entry>>& keys) const override {
        if (!compound_) {
            std::string out = TagHeader(defs[0]);
            const uint32_t root = Pages(defs[0], keys[0], 1024, out);
            PutLE32(out, 0, root);
            defs[0].header = 0;
            return out;
        }
        // The directory goes first; its size depends on the offsets it holds, so it is laid out
        // for the largest ones and padded.
        TagDef dir = DirectoryDef(0);
        std::vector<Entry> names;
        for (const TagDef& d : defs) {
            std::string n = d.info.name;
            for (char& c : n) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            n.resize(10, ' ');
            names.push_back({n, 0x7FFFFE00});
        }
        std::vector<size_t> order(defs.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::sort(order.begin(), order.end(),
                  [&](size_t a, size_t b) { return names[a].key < names[b].key; });
        std::vector<Entry> sorted;
        for (size_t i : order) sorted.push_back(names[i]);
        std::string probe;
        Pages(dir, sorted, 1024, probe);
        const uint32_t dirEnd = 1024 + static_cast<uint32_t>(probe.size());

        std::string tagsPart;
        std::vector<uint32_t> at(defs.size());
        for (size_t i = 0; i < defs.size(); ++i) {
            at[i] = dirEnd + static_cast<uint32_t>(tagsPart.size());
            std::string t = TagHeader(defs[i]);
            const uint32_t root = Pages(defs[i], keys[i], at[i] + 1024, t);
            PutLE32(t, 0, root);
            defs[i].header = at[i];
            tagsPart += t;
        }
        for (size_t k = 0; k < order.size(); ++k) sorted[k].rec = at[order[k]];
        std::string out = DirHeader();
        std::string dirPages;
        const uint32_t root = Pages(dir, sorted, 1024, dirPages);
        PutLE32(out, 0, root);
        dirPages.resize(probe.size(), '\0');
        return out + dirPages + tagsPart;
    }

  private:
    struct Step {
        Node node;
        size_t index;
    };
    struct Stop {};

    bool compound_;

    static std::string BaseName(const std::string& p) {
        const size_t slash = p.find_last_of("/\\");
        std::string b = slash == std::string::npos ? p : p.substr(slash + 1);
        const size_t dot = b.find_last_of('.');
        if (dot != std::string::npos) b.resize(dot);
        for (char& c : b) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return b;
    }

    static int KeyWidth(const KeyExpr& expr) {
        int w = 0;
        switch (expr.Kind()) {
            case KeyKind::Text:
                w = expr.Width();
                break;
            case KeyKind::Integer:
                w = 4;
                break;
            case KeyKind::Logical:
                w = 1;
                break;
            default:
                w = 8;
                break;
        }
        return w + (expr.NullableField() ? 1 : 0);
    }

    TagDef DirectoryDef(uint32_t header) const {
        TagDef d;
        d.keyLength = 10;
        d.header = header;
        d.trail = ' ';
        return d;
    }

    TagDef ReadTagHeader(uint32_t h, const std::string& name) const {
        TagDef d;
        d.header = h;
        d.headerBytes = data_.substr(h, 1024);
        d.info.name = name;
        d.keyLength = GetLE16(data_, h + 12);
        d.options = static_cast<uint8_t>(data_[h + 14]);
        d.info.unique = (d.options & 0x01) != 0;
        d.info.candidate = (d.options & 0x04) != 0;
        d.nullMarker = (d.options & 0x02) != 0;
        d.info.descending = GetLE16(data_, h + 502) != 0;
        const size_t forLen = GetLE16(data_, h + 506);
        const size_t exprLen = GetLE16(data_, h + 510);
        const std::string pool = data_.substr(h + 512, 512);
        auto cString = [&](size_t at, size_t len) {
            if (at >= pool.size()) return std::string();
            std::string s = pool.substr(at, std::min(len, pool.size() - at));
            const size_t nul = s.find('\0');
            if (nul != std::string::npos) s.resize(nul);
            return s;
        };
        d.info.expression = cString(0, exprLen);
        if (d.options & 0x08) d.info.forCondition = cString(exprLen, forLen);
        d.info.keyLength = d.keyLength;
        d.info.collation = "MACHINE";
        return d;
    }

    static std::string DirHeader() {
        std::string h(1024, '\0');
        PutLE32(h, 4, 0);
        PutLE16(h, 12, 10);
        h[14] = char(0xE0);
        h[15] = 1;
        PutLE16(h, 504, 1);
        PutLE16(h, 506, 1);
        PutLE16(h, 510, 1);
        return h;
    }

    static std::string TagHeader(const TagDef& d) {
        std::string h = d.headerBytes;
        if (h.size() != 1024) {
            h.assign(1024, '\0');
            h[15] = 1;
        }
        PutLE32(h, 4, 0);  // no free pages: the new file has none
        PutLE16(h, 12, static_cast<uint16_t>(d.keyLength));
        h[14] = static_cast<char>(d.options);
        PutLE16(h, 502, d.info.descending ? 1 : 0);
        std::fill(h.begin() + 512, h.end(), '\0');
        const std::string& e = d.info.expression;
        const std::string& f = d.info.forCondition;
        if (e.size() + f.size() + 2 > 512)
            throw DbfError(ErrorKind::State, "Expresia etichetei " + d.info.name +
                                                 " este prea lunga pentru un index FoxPro.");
        std::copy(e.begin(), e.end(), h.begin() + 512);
        std::copy(f.begin(), f.end(), h.begin() + 512 + static_cast<long>(e.size()) + 1);
        PutLE16(h, 504, static_cast<uint16_t>(e.size() + 1));
        PutLE16(h, 506, static_cast<uint16_t>(f.size() + 1));
        PutLE16(h, 510, static_cast<uint16_t>(e.size() + 1));
        return h;
    }

    // ---- pages

    [[noreturn]] static void Bad(uint32_t off, const std::string& what) {
        throw Damage("pagina de la " + std::to_string(off) + ": " + what);
    }

    Node Read(const TagDef& tag, uint32_t off) const {
        if (off % kPage != 0 || off < 512 || uint64_t(off) + kPage > data_.size())
            Bad(off, "adresa in afara fisierului (fisier trunchiat?)");
        Node n;
        n.off = off;
        n.attr = GetLE16(data_, off);
        const uint16_t count = GetLE16(data_, off + 2);
        n.left = GetLE32(data_, off + 4);
        n.right = GetLE32(data_, off + 8);
        const size_t kl = static_cast<size_t>(tag.keyLength);
        if (n.attr > 7) Bad(off, "tip de pagina necunoscut");
        if (!n.Leaf()) {
            if (count * (kl + 8) > kInteriorRoom) Bad(off, "prea multe chei");
            for (uint16_t i = 0; i < count; ++i) {
                const size_t e = off + 12 + i * (kl + 8);
                n.e.push_back({data_.substr(e, kl), GetBE32(data_, e + kl)});
                n.child.push_back(GetBE32(data_, e + kl + 4));
            }
            return n;
        }
        DecodeLeaf(tag, off, count, [&](const std::string& key, uint32_t rec) {
            n.e.push_back({key, rec});
        });
        return n;
    }

    // The keys of a leaf in order, each rebuilt in one buffer (no copy per key).
    template <class Each>
    void DecodeLeaf(const TagDef& tag, uint32_t off, uint16_t count, Each&& each) const {
        const size_t kl = static_cast<size_t>(tag.keyLength);
        const uint8_t bytes = static_cast<uint8_t>(data_[off + 23]);
        const int recBits = static_cast<uint8_t>(data_[off + 20]);
        const int dupBits = static_cast<uint8_t>(data_[off + 21]);
        const int trailBits = static_cast<uint8_t>(data_[off + 22]);
        if (bytes == 0 || bytes > 8 || recBits > 32 || dupBits > 8 || trailBits > 8 ||
            recBits + dupBits + trailBits > bytes * 8 || size_t(count) * bytes > kLeafRoom)
            Bad(off, "antetul paginii frunza nu se potriveste");
        size_t keyEnd = off + kPage;
        const size_t entriesEnd = off + 24 + size_t(count) * bytes;
        const uint64_t recMask = (uint64_t(1) << recBits) - 1;
        const uint64_t dupMask = (uint64_t(1) << dupBits) - 1;
        const uint64_t trailMask = (uint64_t(1) << trailBits) - 1;
        std::string key;
        key.reserve(kl);
        for (uint16_t i = 0; i < count; ++i) {
            uint64_t v = 0;
            std::memcpy(&v, data_.data() + off + 24 + i * bytes, bytes);
            const uint32_t rec = static_cast<uint32_t>(v & recMask);
            const size_t dup = (v >> recBits) & dupMask;
            const size_t trail = (v >> (recBits + dupBits)) & trailMask;
            if (dup + trail > kl || (i == 0 && dup != 0))
                Bad(off, "cheia " + std::to_string(i + 1) + " are lungimi gresite");
            const size_t stored = kl - dup - trail;
            if (keyEnd < entriesEnd + stored) Bad(off, "cheile se suprapun peste inregistrari");
            keyEnd -= stored;
            key.resize(dup);  // the bytes shared with the key before stay
            key.append(data_, keyEnd, stored);
            key.append(trail, tag.trail);
            each(key, rec);
        }
    }

    // Writes a node; false when its entries don't fit one page.
    bool Encode(const TagDef& tag, const Node& n, std::string& page) const {
        page.assign(kPage, '\0');
        PutLE16(page, 0, n.attr);
        PutLE16(page, 2, static_cast<uint16_t>(n.e.size()));
        PutLE32(page, 4, n.left);
        PutLE32(page, 8, n.right);
        const size_t kl = static_cast<size_t>(tag.keyLength);
        if (!n.Leaf()) {
            if (n.e.size() * (kl + 8) > kInteriorRoom) return false;
            for (size_t i = 0; i < n.e.size(); ++i) {
                const size_t e = 12 + i * (kl + 8);
                page.replace(e, kl, n.e[i].key);
                PutBE32(page, e + kl, n.e[i].rec);
                PutBE32(page, e + kl + 4, n.child[i]);
            }
            return true;
        }
        uint32_t maxRec = 0;
        for (const Entry& e : n.e) maxRec = std::max(maxRec, e.rec);
        const LeafBits b = BitsOf(tag.keyLength, maxRec);
        size_t keyEnd = kPage;
        size_t used = 0;
        for (size_t i = 0; i < n.e.size(); ++i) {
            const std::string& key = n.e[i].key;
            const size_t dup = i == 0 ? 0 : Duplicate(n.e[i - 1].key, key, tag.trail);
            const size_t trail = Trailing(key, tag.trail, dup);
            const size_t stored = kl - dup - trail;
            used += b.bytes + stored;
            if (used > kLeafRoom) return false;
            keyEnd -= stored;
            page.replace(keyEnd, stored, key, dup, stored);
            const uint64_t v = uint64_t(n.e[i].rec) | (uint64_t(dup) << b.recBits) |
                               (uint64_t(trail) << (b.recBits + b.dupBits));
            std::memcpy(page.data() + 24 + i * b.bytes, &v, size_t(b.bytes));
        }
        PutLE16(page, 12, static_cast<uint16_t>(kLeafRoom - used));
        PutLE32(page, 14, static_cast<uint32_t>((uint64_t(1) << b.recBits) - 1));
        page[18] = static_cast<char>((1 << b.dupBits) - 1);
        page[19] = static_cast<char>((1 << b.dupBits) - 1);
        page[20] = static_cast<char>(b.recBits);
        page[21] = static_cast<char>(b.dupBits);
        page[22] = static_cast<char>(b.dupBits);
        page[23] = static_cast<char>(b.bytes);
        return true;
    }

    void WalkNode(const TagDef& tag, uint32_t off, const std::string& from, const Visit& visit,
                  int depth, std::vector<bool>& seen) const {
        const size_t page = off / kPage;
        if (depth > 32 || (page < seen.size() && seen[page]))
            Bad(off, "pagina folosita de doua ori");
        if (page < seen.size()) seen[page] = true;
        auto before = [&](const std::string& key) {
            if (from.empty()) return false;
            const int c = key.compare(0, from.size(), from);
            return tag.info.descending ? c > 0 : c < 0;
        };
        if (off % kPage == 0 && off >= 512 && uint64_t(off) + kPage <= data_.size() &&
            (GetLE16(data_, off) & kLeafBit) && GetLE16(data_, off) <= 7) {
            DecodeLeaf(tag, off, GetLE16(data_, off + 2), [&](const std::string& key, uint32_t rec) {
                if (!before(key) && !visit(key, rec)) throw Stop();
            });
            return;
        }
        const Node n = Read(tag, off);
        for (size_t i = 0; i < n.e.size(); ++i) {
            if (before(n.e[i].key)) continue;  // the child's keys all come before from
            WalkNode(tag, n.child[i], from, visit, depth + 1, seen);
        }
    }

    Node Descend(const TagDef& tag, const std::string& key, uint32_t rec,
                 std::vector<Step>& steps) const {
        const Entry target{key, rec};
        uint32_t off = GetLE32(data_, tag.header);
        try {
            for (int depth = 0;; ++depth) {
                Node n = Read(tag, off);
                if (n.Leaf()) return n;
                if (n.e.empty() || depth > 32) Bad(off, "pagina interioara goala");
                size_t i = 0;
                while (i + 1 < n.e.size() && Less(tag, n.e[i], target)) ++i;
                off = n.child[i];
                steps.push_back({std::move(n), i});
            }
        } catch (const Damage& d) {
            throw DbfError(ErrorKind::Malformed,
                           "Indexul " + path + " este deteriorat (" + d.what() + "); refaceti-l.");
        }
    }

    uint32_t NewPage() {
        const uint32_t off = static_cast<uint32_t>(data_.size());
        data_.resize(data_.size() + kPage, '\0');
        return off;
    }

    void WriteNode(const TagDef& tag, const Node& n) {
        std::string page;
        if (!Encode(tag, n, page))
            throw DbfError(ErrorKind::State, "Pagina de index nu incape (eroare interna).");
        Put(n.off, page);
    }

    void Relink(const TagDef& tag, uint32_t off, bool rightSide, uint32_t to) {
        if (off == 0xFFFFFFFF) return;
        Node n = Read(tag, off);
        (rightSide ? n.right : n.left) = to;
        WriteNode(tag, n);
    }

    // Splits a node that does not fit into pieces that do; the last keeps the node's page.
    std::vector<Node> Fit(const TagDef& tag, Node n) {
        std::string page;
        if (Encode(tag, n, page)) return {n};
        const size_t half = n.e.size() / 2;
        Node a;
        a.attr = n.attr & ~kRootBit;
        a.e.assign(n.e.begin(), n.e.begin() + static_cast<long>(half));
        Node b = n;
        b.attr = n.attr & ~kRootBit;
        b.e.erase(b.e.begin(), b.e.begin() + static_cast<long>(half));
        if (!n.Leaf()) {
            a.child.assign(n.child.begin(), n.child.begin() + static_cast<long>(half));
            b.child.erase(b.child.begin(), b.child.begin() + static_cast<long>(half));
        }
        a.off = NewPage();
        a.left = n.left;
        a.right = b.off;
        b.left = a.off;
        Relink(tag, n.left, true, a.off);
        std::vector<Node> out = Fit(tag, a);
        std::vector<Node> rest = Fit(tag, b);
        // a split of a split half relinks inside: keep the chain consistent
        out.insert(out.end(), rest.begin(), rest.end());
        for (size_t i = 0; i + 1 < out.size(); ++i) {
            out[i].right = out[i + 1].off;
            out[i + 1].left = out[i].off;
        }
        return out;
    }

    // A changed node goes back to its page, split when it grew past one, merged into its right
    // neighbour when both fit in one, removed when empty; its parent follows.
    void Store(TagDef& tag, Node cur, std::vector<Step>& path, bool shrank) {
        for (;;) {
            const bool root = path.empty();
            std::vector<Node> pieces;
            if (cur.e.empty() && !root) {
                Relink(tag, cur.left, true, cur.right);
                Relink(tag, cur.right, false, cur.left);
            } else if (!root && shrank && path.back().index + 1 < path.back().node.e.size() &&
                       MergeRight(tag, cur, path.back())) {
                // merged: cur is gone, its right neighbour holds its entries
            } else {
                pieces = Fit(tag, cur);
            }
            for (const Node& p : pieces) WriteNode(tag, p);
            if (root) {
                if (pieces.size() > 1) {
                    Node r;
                    r.off = NewPage();
                    r.attr = kRootBit;
                    for (const Node& p : pieces) {
                        r.e.push_back(p.e.back());
                        r.child.push_back(p.off);
                    }
                    WriteNode(tag, r);
                    std::string rootBytes(4, '\0');
                    PutLE32(rootBytes, 0, r.off);
                    Put(tag.header, rootBytes);
                } else if (pieces.size() == 1 && pieces[0].e.empty() && !pieces[0].Leaf()) {
                    Node leaf;
                    leaf.off = pieces[0].off;
                    leaf.attr = kRootBit | kLeafBit;
                    WriteNode(tag, leaf);
                }
                return;
            }
            Step step = std::move(path.back());
            path.pop_back();
            Node parent = std::move(step.node);
            const std::vector<Entry> before = parent.e;
            const std::vector<uint32_t> beforeChild = parent.child;
            const long at = static_cast<long>(step.index);
            parent.e.erase(parent.e.begin() + at);
            parent.child.erase(parent.child.begin() + at);
            for (size_t i = 0; i < pieces.size(); ++i) {
                parent.e.insert(parent.e.begin() + at + static_cast<long>(i), pieces[i].e.back());
                parent.child.insert(parent.child.begin() + at + static_cast<long>(i),
                                    pieces[i].off);
            }
            if (parent.e.size() == before.size() && parent.child == beforeChild) {
                bool same = true;
                for (size_t i = 0; i < before.size() && same; ++i)
                    same = before[i].key == parent.e[i].key && before[i].rec == parent.e[i].rec;
                if (same) return;
            }
            shrank = pieces.empty();
            cur = std::move(parent);
        }
    }

    bool MergeRight(const TagDef& tag, Node& cur, const Step& parentStep) {
        const uint32_t rightOff = parentStep.node.child[parentStep.index + 1];
        if (cur.right != rightOff) return false;
        Node right = Read(tag, rightOff);
        Node joined = right;
        joined.e.insert(joined.e.begin(), cur.e.begin(), cur.e.end());
        joined.child.insert(joined.child.begin(), cur.child.begin(), cur.child.end());
        joined.left = cur.left;
        std::string page;
        if (!Encode(tag, joined, page)) return false;
        WriteNode(tag, joined);
        Relink(tag, cur.left, true, rightOff);
        cur.e.clear();
        return true;
    }

    // Pages of a tag's sorted keys, appended to out (whose first byte is at base); the root's
    // offset.
    uint32_t Pages(const TagDef& tag, const std::vector<Entry>& keys, uint32_t base,
                   std::string& out) const {
        const size_t kl = static_cast<size_t>(tag.keyLength);
        uint32_t maxRec = 0;
        for (const Entry& e : keys) maxRec = std::max(maxRec, e.rec);
        const LeafBits b = BitsOf(tag.keyLength, maxRec);
        std::vector<Node> level;
        Node cur;
        cur.attr = kLeafBit;
        size_t used = 0;
        for (size_t i = 0; i < keys.size(); ++i) {
            const size_t dup =
                cur.e.empty() ? 0 : Duplicate(cur.e.back().key, keys[i].key, tag.trail);
            const size_t stored = kl - dup - Trailing(keys[i].key, tag.trail, dup);
            if (!cur.e.empty() && used + b.bytes + stored > kLeafRoom) {
                level.push_back(std::move(cur));
                cur = Node();
                cur.attr = kLeafBit;
                used = 0;
                --i;
                continue;
            }
            used += b.bytes + stored;
            cur.e.push_back(keys[i]);
        }
        level.push_back(std::move(cur));
        const size_t perInterior = kInteriorRoom / (kl + 8);
        uint32_t next = base;
        for (;;) {
            for (size_t i = 0; i < level.size(); ++i) {
                level[i].off = next + static_cast<uint32_t>(i) * kPage;
                level[i].left = i == 0 ? 0xFFFFFFFF : level[i].off - kPage;
                level[i].right = i + 1 == level.size() ? 0xFFFFFFFF : level[i].off + kPage;
            }
            next += static_cast<uint32_t>(level.size()) * kPage;
            if (level.size() == 1) level[0].attr |= kRootBit;
            std::string page;
            for (const Node& n : level) {
                Encode(tag, n, page);
                out += page;
            }
            if (level.size() == 1) return level[0].off;
            std::vector<Node> up;
            for (size_t i = 0; i < level.size(); i += perInterior) {
                Node p;
                for (size_t j = i; j < std::min(level.size(), i + perInterior); ++j) {
                    p.e.push_back(level[j].e.back());
                    p.child.push_back(level[j].off);
                }
                up.push_back(std::move(p));
            }
            level = std::move(up);
        }
    }
};

}  // namespace

std::unique_ptr<IndexFile> MakeCdx(bool compound) {
    return std::make_unique<Cdx>(compound);
}

}  // namespace orbelan::index_detail
