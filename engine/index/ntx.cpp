// The single index of the Clipper family (.ntx): a B-tree of 1024-byte pages whose keys live at
// every level. A page holds its item count, a table of where each item is in the page, and the
// items (left child page, record, key); the item after the last holds only the rightmost child.
// Keys are text: numbers as their STR() form, dates as DTOS().
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

#include "engine/date_util.h"
#include "engine/byte_order.h"
#include "engine/errors.h"
#include "engine/field_value.h"
#include "engine/index/index_file.h"

namespace orbelan::index_detail {

namespace {

constexpr uint32_t kNtxPage = 1024;


struct Item {
    uint32_t child = 0;
    Entry e;
};

struct Page {
    uint32_t off = 0;
    std::vector<Item> items;
    uint32_t right = 0;  // rightmost child
    bool Leaf() const {
        return right == 0 &&
               std::all_of(items.begin(), items.end(), [](const Item& i) { return i.child == 0; });
    }
};

std::string CString(const std::string& d, size_t at, size_t max) {
    std::string s = d.substr(at, max);
    const size_t nul = s.find('\0');
    if (nul != std::string::npos) s.resize(nul);
    return s;
}

class Ntx : public IndexFile {
  public:
    void Parse() override {
        if (data_.size() < kNtxPage)
            throw DbfError(ErrorKind::Malformed,
                           "Fisierul " + path + " e prea scurt pentru un index NTX.");
        const uint16_t sig = GetLE16(data_, 0);
        const uint16_t kl = GetLE16(data_, 14);
        if ((sig & 0xFF) != 6 && (sig & 0xFF) != 7)
            throw DbfError(ErrorKind::Malformed, "Fisierul " + path + " nu este un index NTX.");
        if (kl == 0 || kl > 256 || GetLE16(data_, 12) != kl + 8 || MaxItem(kl) != GetLE16(data_, 18))
            throw DbfError(ErrorKind::Malformed,
                           "Antetul indexului " + path + " nu se potriveste cu el insusi.");
        TagDef t;
        t.header = 0;
        t.headerBytes = data_.substr(0, kNtxPage);
        t.keyLength = kl;
        t.decimals = GetLE16(data_, 16);
        t.info.expression = CString(data_, 22, 256);
        t.info.unique = data_[278] != 0;
        t.info.descending = data_[280] != 0;
        t.info.forCondition = CString(data_, 282, 256);
        std::string name = CString(data_, 538, 12);
        if (name.empty()) {
            const size_t slash = path.find_last_of("/\\");
            name = path.substr(slash == std::string::npos ? 0 : slash + 1);
            const size_t dot = name.find_last_of('.');
            if (dot != std::string::npos) name.resize(dot);
        }
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        t.info.name = name;
        t.info.keyLength = kl;
        tags.push_back(std::move(t));
    }

    void Walk(const TagDef& tag, const std::string& from, const Visit& visit) const override {
        std::set<uint32_t> seen;
        try {
            WalkPage(tag, GetLE32(data_, 4), from, visit, 0, seen);
        } catch (const Stop&) {
        }
    }

    std::string Encode(const TagDef& tag, const KeyValue& v) const override {
        std::string key;
        switch (v.kind) {
            case KeyKind::Text:
                key = v.text;
                break;
            case KeyKind::Date:
            case KeyKind::DateTime:
                if (v.number <= 0) {
                    key.assign(8, ' ');
                } else {
                    const CivilDate d =
                        CivilFromDayNumber(static_cast<int>(v.number) - kJulianDayZero);
                    char buf[16];
                    std::snprintf(buf, sizeof buf, "%04d%02d%02d", d.year, d.month, d.day);
                    key = buf;
                }
                break;
            case KeyKind::Logical:
                key = v.flag ? "T" : "F";
                break;
            default: {
                if (v.number < 0)
                    throw DbfError(ErrorKind::State,
                                   "Indexul " + path +
                                       " are chei numerice negative, pe care acest program nu le "
                                       "scrie in formatul NTX.");
                char buf[320];
                std::snprintf(buf, sizeof buf, "%*.*f", tag.keyLength, tag.decimals, v.number);
                key = buf;
                if (static_cast<int>(key.size()) > tag.keyLength)
                    key.assign(static_cast<size_t>(tag.keyLength), '*');
                break;
            }
        }
        key.resize(static_cast<size_t>(tag.keyLength), ' ');
        return key;
    }

    std::string Supports(const TagDef& tag, const KeyExpr& expr) const override {
        const int width = KeyWidth(expr, tag.keyLength);
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
        d.info.descending = t.descending;
        d.keyLength = KeyWidth(expr, 10);
        d.info.keyLength = d.keyLength;
        d.info.keyType = static_cast<char>(expr.Kind());
        return d;
    }

    std::string Build(std::vector<TagDef>& defs,
                      const std::vector<std::vector<Entry>>& keys) const override {
        TagDef& tag = defs.at(0);
        const uint16_t maxItem = MaxItem(tag.keyLength);
        std::string out = Header(tag);
        std::vector<Item> level;
        level.reserve(keys[0].size());
        for (const Entry& e : keys[0]) level.push_back({0, e});
        uint32_t tail = 0;
        for (;;) {
            if (level.size() <= maxItem) {
                Page root;
                root.off = static_cast<uint32_t>(out.size());
                root.items = std::move(level);
                root.right = tail;
                out += Encode(tag, root);
                PutLE32(out, 4, root.off);
                return out;
            }
            const size_t n = level.size();
            const size_t pages = (n + 1 + maxItem) / (size_t(maxItem) + 1);
            const size_t held = n - (pages - 1);
            std::vector<Item> up;
            size_t at = 0;
            for (size_t p = 0; p < pages; ++p) {
                const size_t take = held / pages + (p < held % pages ? 1 : 0);
                Page page;
                page.off = static_cast<uint32_t>(out.size());
                page.items.assign(level.begin() + static_cast<long>(at),
                                  level.begin() + static_cast<long>(at + take));
                at += take;
                if (p + 1 < pages) {
                    Item sep = level[at++];
                    page.right = sep.child;
                    sep.child = page.off;
                    up.push_back(std::move(sep));
                } else {
                    page.right = tail;
                    tail = page.off;
                }
                out += Encode(tag, page);
            }
            level = std::move(up);
        }
    }

    void Insert(TagDef& tag, const std::string& key, uint32_t rec) override {
        const Entry target{key, rec};
        std::vector<std::pair<Page, size_t>> path;
        Page page = Read(tag, GetLE32(data_, 4));
        for (int depth = 0;; ++depth) {
            size_t i = 0;
            while (i < page.items.size() && !Less(tag, target, page.items[i].e)) ++i;
            const uint32_t child = i < page.items.size() ? page.items[i].child : page.right;
            if (child == 0 || depth > 32) {
                page.items.insert(page.items.begin() + static_cast<long>(i), Item{0, target});
                break;
            }
            path.emplace_back(std::move(page), i);
            page = Read(tag, child);
        }
        StoreGrown(tag, std::move(page), path);
    }

    bool Remove(TagDef& tag, const std::string& key, uint32_t rec) override {
        const Entry target{key, rec};
        std::vector<std::pair<Page, size_t>> path;
        Page page = Read(tag, GetLE32(data_, 4));
        for (int depth = 0; depth < 32; ++depth) {
            size_t i = 0;
            while (i < page.items.size() && Less(tag, page.items[i].e, target)) ++i;
            if (i < page.items.size() && page.items[i].e.rec == rec && page.items[i].e.key == key) {
                if (page.items[i].child == 0 && page.Leaf()) {
                    page.items.erase(page.items.begin() + static_cast<long>(i));
                    StoreShrunk(tag, std::move(page), path);
                    return true;
                }
                // An inner key: its predecessor (the last key of its left subtree) takes its
                // place and leaves its leaf.
                path.emplace_back(page, i);
                const size_t innerLevel = path.size() - 1;
                Page leaf = Read(tag, page.items[i].child);
                while (!leaf.Leaf()) {
                    const size_t last = leaf.items.size();
                    const uint32_t next = leaf.right;
                    path.emplace_back(std::move(leaf), last);
                    leaf = Read(tag, next);
                }
                if (leaf.items.empty()) return false;
                const Entry pred = leaf.items.back().e;
                leaf.items.pop_back();
                path[innerLevel].first.items[i].e = pred;
                WritePage(tag, path[innerLevel].first);
                StoreShrunk(tag, std::move(leaf), path);
                return true;
            }
            const uint32_t child = i < page.items.size() ? page.items[i].child : page.right;
            if (child == 0) return false;
            path.emplace_back(std::move(page), i);
            page = Read(tag, child);
        }
        return false;
    }

  private:
    struct Stop {};

    static uint16_t MaxItem(int keyLength) {
        return static_cast<uint16_t>((kNtxPage - 2) / (keyLength + 8 + 2) - 1);
    }

    static int KeyWidth(const KeyExpr& expr, int numberWidth) {
        switch (expr.Kind()) {
            case KeyKind::Text:
                return expr.Width();
            case KeyKind::Date:
            case KeyKind::DateTime:
                return 8;
            case KeyKind::Logical:
                return 1;
            default:
                return numberWidth;
        }
    }

    std::string Header(const TagDef& t) const {
        std::string h = t.headerBytes;
        if (h.size() != kNtxPage) {
            h.assign(kNtxPage, '\0');
            PutLE16(h, 0, 6);
            PutLE16(h, 2, 1);
        }
        const uint16_t maxItem = MaxItem(t.keyLength);
        PutLE32(h, 8, 0);
        PutLE16(h, 12, static_cast<uint16_t>(t.keyLength + 8));
        PutLE16(h, 14, static_cast<uint16_t>(t.keyLength));
        PutLE16(h, 16, static_cast<uint16_t>(t.decimals));
        PutLE16(h, 18, maxItem);
        PutLE16(h, 20, maxItem / 2);
        if (t.info.expression.size() > 255 || t.info.forCondition.size() > 255)
            throw DbfError(ErrorKind::State, "Expresia indexului " + path + " e prea lunga.");
        std::fill(h.begin() + 22, h.begin() + 278, '\0');
        std::copy(t.info.expression.begin(), t.info.expression.end(), h.begin() + 22);
        h[278] = t.info.unique ? 1 : 0;
        h[280] = t.info.descending ? 1 : 0;
        std::fill(h.begin() + 282, h.begin() + 538, '\0');
        std::copy(t.info.forCondition.begin(), t.info.forCondition.end(), h.begin() + 282);
        return h;
    }

    [[noreturn]] static void Bad(uint32_t off, const std::string& what) {
        throw Damage("pagina de la " + std::to_string(off) + ": " + what);
    }

    Page Read(const TagDef& tag, uint32_t off) const {
        if (off % kNtxPage != 0 || off < kNtxPage || uint64_t(off) + kNtxPage > data_.size())
            Bad(off, "adresa in afara fisierului (fisier trunchiat?)");
        Page p;
        p.off = off;
        const uint16_t count = GetLE16(data_, off);
        const uint16_t maxItem = MaxItem(tag.keyLength);
        if (count > maxItem) Bad(off, "prea multe chei");
        const size_t itemSize = size_t(tag.keyLength) + 8;
        for (uint16_t i = 0; i <= count; ++i) {
            const uint16_t at = GetLE16(data_, off + 2 + 2 * size_t(i));
            if (at < 2 + 2 * (size_t(maxItem) + 1) || at + (i < count ? itemSize : 4) > kNtxPage)
                Bad(off, "pozitia cheii " + std::to_string(i + 1) + " iese din pagina");
            const uint32_t child = GetLE32(data_, off + at);
            if (i == count) {
                p.right = child;
                break;
            }
            p.items.push_back(
                {child,
                 {data_.substr(off + at + 8, size_t(tag.keyLength)), GetLE32(data_, off + at + 4)}});
        }
        return p;
    }

    std::string Encode(const TagDef& tag, const Page& p) const {
        std::string page(kNtxPage, '\0');
        const uint16_t maxItem = MaxItem(tag.keyLength);
        const size_t itemSize = size_t(tag.keyLength) + 8;
        const size_t first = 2 + 2 * (size_t(maxItem) + 1);
        PutLE16(page, 0, static_cast<uint16_t>(p.items.size()));
        for (size_t i = 0; i <= maxItem; ++i)
            PutLE16(page, 2 + 2 * i, static_cast<uint16_t>(first + i * itemSize));
        for (size_t i = 0; i < p.items.size(); ++i) {
            const size_t at = first + i * itemSize;
            PutLE32(page, at, p.items[i].child);
            PutLE32(page, at + 4, p.items[i].e.rec);
            page.replace(at + 8, size_t(tag.keyLength), p.items[i].e.key);
        }
        PutLE32(page, first + p.items.size() * itemSize, p.right);
        return page;
    }

    void WritePage(const TagDef& tag, const Page& p) { Put(p.off, Encode(tag, p)); }

    uint32_t NewPage() {
        size_t end = (data_.size() + kNtxPage - 1) / kNtxPage * kNtxPage;
        data_.resize(end + kNtxPage, '\0');
        return static_cast<uint32_t>(end);
    }

    void SetRoot(uint32_t root) {
        std::string b(4, '\0');
        PutLE32(b, 0, root);
        Put(4, b);
    }

    void WalkPage(const TagDef& tag, uint32_t off, const std::string& from, const Visit& visit,
                  int depth, std::set<uint32_t>& seen) const {
        if (depth > 32 || !seen.insert(off).second) Bad(off, "pagina folosita de doua ori");
        const Page p = Read(tag, off);
        auto before = [&](const std::string& key) {
            if (from.empty()) return false;
            const int c = key.compare(0, from.size(), from);
            return tag.info.descending ? c > 0 : c < 0;
        };
        for (const Item& it : p.items) {
            const bool skip = before(it.e.key);
            // keys left of a key before `from` are before it too
            if (it.child && !skip) WalkPage(tag, it.child, from, visit, depth + 1, seen);
            if (!skip && !visit(it.e.key, it.e.rec)) throw Stop();
        }
        if (p.right) WalkPage(tag, p.right, from, visit, depth + 1, seen);
    }

    // A page that gained an item: split while it holds more than a page does.
    void StoreGrown(TagDef& tag, Page page, std::vector<std::pair<Page, size_t>>& path) {
        const uint16_t maxItem = MaxItem(tag.keyLength);
        for (;;) {
            if (page.items.size() <= maxItem) {
                WritePage(tag, page);
                return;
            }
            const size_t m = page.items.size() / 2;
            Page left;
            left.off = NewPage();
            left.items.assign(page.items.begin(), page.items.begin() + static_cast<long>(m));
            left.right = page.items[m].child;
            Item median = page.items[m];
            median.child = left.off;
            page.items.erase(page.items.begin(), page.items.begin() + static_cast<long>(m) + 1);
            WritePage(tag, left);
            WritePage(tag, page);
            if (path.empty()) {
                Page root;
                root.off = NewPage();
                root.items.push_back(median);
                root.right = page.off;
                WritePage(tag, root);
                SetRoot(root.off);
                return;
            }
            auto [parent, at] = std::move(path.back());
            path.pop_back();
            parent.items.insert(parent.items.begin() + static_cast<long>(at), median);
            page = std::move(parent);
        }
    }

    // A leaf that lost an item; an empty one is merged into a neighbour through its parent's
    // separating key.
    void StoreShrunk(TagDef& tag, Page page, std::vector<std::pair<Page, size_t>>& path) {
        if (!page.items.empty() || path.empty()) {
            WritePage(tag, page);
            return;
        }
        auto [parent, j] = std::move(path.back());
        path.pop_back();
        const size_t count = parent.items.size();
        Page sibling;
        if (j < count) {
            Item sep = parent.items[j];
            const uint32_t rightOff = j + 1 < count ? parent.items[j + 1].child : parent.right;
            sibling = Read(tag, rightOff);
            sep.child = page.right;  // what the empty page still pointed to (0 for a leaf)
            sibling.items.insert(sibling.items.begin(), sep);
            parent.items.erase(parent.items.begin() + static_cast<long>(j));
        } else {
            Item sep = parent.items[count - 1];
            sibling = Read(tag, sep.child);
            sep.child = sibling.right;
            sibling.items.push_back(sep);
            sibling.right = page.right;
            parent.items.pop_back();
            parent.right = sibling.off;
        }
        // Where a split of the grown sibling puts its median: the page that now points to it.
        std::vector<std::pair<Page, size_t>> above;
        if (parent.items.empty()) {
            // the parent is left with one child: that child takes its place
            if (path.empty()) {
                SetRoot(sibling.off);
            } else {
                auto [grand, g] = std::move(path.back());
                (g < grand.items.size() ? grand.items[g].child : grand.right) = sibling.off;
                WritePage(tag, grand);
                above.emplace_back(std::move(grand), g);
            }
        } else {
            WritePage(tag, parent);
            size_t at = 0;
            while (at < parent.items.size() && parent.items[at].child != sibling.off) ++at;
            above.emplace_back(std::move(parent), at);
        }
        StoreGrown(tag, std::move(sibling), above);
    }
};

}  // namespace

std::unique_ptr<IndexFile> MakeNtx() {
    return std::make_unique<Ntx>();
}

}  // namespace orbelan::index_detail
