#include "engine/index/index_set.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "engine/date_util.h"
#include "engine/dbf_file.h"
#include "engine/dbf_header.h"
#include "engine/errors.h"
#include "engine/field_value.h"
#include "engine/file_io.h"
#include "engine/index/index_file.h"
#include "engine/index/key_expr.h"
#include "engine/text_parse.h"
#include "engine/utf8_path.h"

namespace orbelan {

using namespace index_detail;

namespace {

constexpr size_t kProblemsPerTag = 20;

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string ReadWhole(const std::string& path) {
    FileHandle h = FileHandle::OpenRead(path);
    std::string data(static_cast<size_t>(h.Size()), '\0');
    if (h.ReadAt(0, data.data(), data.size()) != data.size())
        throw DbfError(ErrorKind::Io, "Fisierul " + path + " nu a putut fi citit in intregime.");
    return data;
}

}  // namespace

const char* IndexFormatName(IndexFormat format) {
    switch (format) {
        case IndexFormat::Cdx:
            return "CDX";
        case IndexFormat::IdxCompact:
            return "IDX";
        case IndexFormat::IdxStandard:
            return "IDX (standard)";
        case IndexFormat::Mdx:
            return "MDX";
        case IndexFormat::Ndx:
            return "NDX";
        case IndexFormat::Ntx:
            return "NTX";
    }
    return "?";
}

// ---- finding the files

std::string FindBesideTable(const std::string& tablePath, std::string_view ext) {
    const std::filesystem::path table = PathFromUtf8(tablePath);
    const std::string stem = Utf8FromPath(table.stem());
    std::filesystem::path folder = table.parent_path();
    if (folder.empty()) folder = ".";
    std::string exact = PathWithoutExtension(tablePath) + "." + std::string(ext);
    std::error_code ec;
    std::string found;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::filesystem::path& p = it->path();
        std::string e = Utf8FromPath(p.extension());
        if (e.empty() || !SameName(e.substr(1), ext) || !SameName(Utf8FromPath(p.stem()), stem))
            continue;
        const std::string candidate = Utf8FromPath(
            table.parent_path().empty() ? p.filename() : table.parent_path() / p.filename());
        // the name written exactly as the table's wins over other spellings
        if (found.empty() || candidate == exact) found = candidate;
    }
    return found;
}

namespace {
// dBase IV, 5 and 7 keep an .mdx; FoxPro (whose 2.x tables carry the dBase III byte) a .cdx.
bool UsesCdx(const DbfLayout& layout) {
    return layout.family != DbfFamily::DBase4 && layout.family != DbfFamily::DBase7;
}
}  // namespace

std::string FindProductionIndex(const std::string& tablePath, const DbfLayout& layout) {
    if ((layout.productionIndex & 0x01) == 0) return {};
    const bool fox = UsesCdx(layout);
    std::string found = FindBesideTable(tablePath, fox ? "cdx" : "mdx");
    return found.empty() ? FindBesideTable(tablePath, fox ? "mdx" : "cdx") : found;
}

std::string ProductionIndexPathFor(const std::string& tablePath, const DbfLayout& layout) {
    const bool fox = UsesCdx(layout);
    const std::string ext = fox ? "cdx" : "mdx";
    std::string found = FindBesideTable(tablePath, ext);
    if (!found.empty()) return found;
    const std::string base = PathWithoutExtension(tablePath);
    const std::string tableExt = tablePath.substr(base.size());
    bool upper = tableExt.size() > 1;
    for (size_t i = 1; i < tableExt.size(); ++i)
        if (!std::isupper(static_cast<unsigned char>(tableExt[i]))) upper = false;
    std::string e = ext;
    if (upper)
        for (char& c : e) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return base + "." + e;
}

IndexFormat IndexFormatOfFile(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of("/\\");
    const std::string ext = dot == std::string::npos || (slash != std::string::npos && dot < slash)
                                ? std::string()
                                : Lower(path.substr(dot + 1));
    if (ext == "cdx") return IndexFormat::Cdx;
    if (ext == "mdx") return IndexFormat::Mdx;
    if (ext == "ndx") return IndexFormat::Ndx;
    if (ext == "ntx") return IndexFormat::Ntx;
    if (ext == "idx") {
        FileHandle h = FileHandle::OpenRead(path);
        uint8_t head[16] = {};
        if (h.ReadAt(0, head, sizeof head) != sizeof head)
            throw DbfError(ErrorKind::CannotOpen, "Fisierul " + path + " este prea scurt.");
        return (head[14] & 0x20) ? IndexFormat::IdxCompact : IndexFormat::IdxStandard;
    }
    throw DbfError(ErrorKind::CannotOpen,
                   "Fisierul " + path + " nu este un index cunoscut (.cdx .idx .mdx .ndx .ntx).");
}

namespace index_detail {

std::unique_ptr<IndexFile> NewIndexFile(const std::string& path, IndexFormat format) {
    std::unique_ptr<IndexFile> f;
    switch (format) {
        case IndexFormat::Cdx:
            f = MakeCdx(true);
            break;
        case IndexFormat::IdxCompact:
            f = MakeCdx(false);
            break;
        case IndexFormat::Ntx:
            f = MakeNtx();
            break;
        case IndexFormat::Mdx:
            f = MakeMdx();
            break;
        default:
            throw DbfError(ErrorKind::CannotOpen,
                           "Indexurile " + std::string(IndexFormatName(format)) +
                               " nu sunt inca citite de acest program (" + path + ").");
    }
    f->path = path;
    f->format = format;
    return f;
}

std::unique_ptr<IndexFile> OpenIndexFile(const std::string& path, IndexFormat format,
                                         std::string data) {
    auto f = NewIndexFile(path, format);
    f->data_ = std::move(data);
    // room for the pages splits add, so the first of them does not copy the whole file
    f->data_.reserve(f->data_.size() + (256u << 10));
    f->Parse();
    return f;
}

}  // namespace index_detail

// ---- the set

struct IndexSet::Impl {
    struct Compiled {
        std::optional<KeyExpr> key;
        std::optional<KeyExpr> cond;
        std::string why;          // empty: rebuildable
        bool computable = false;  // its keys can be computed (its order may still be foreign)
        std::string soleField;
        bool soleUpper = false;
    };
    std::vector<std::unique_ptr<IndexFile>> files;
    std::vector<IndexFileInfo> infos;
    std::vector<std::vector<Compiled>> compiled;
    std::vector<bool> newFile;  // not on disk yet (a production index being created)
    std::string fold;           // FoldTable of the table's code page
    const DbfFile* compiledFor = nullptr;
    uint16_t compiledLength = 0;

    void Compile(const DbfFile& table) {
        if (compiledFor == &table && compiledLength == table.RecordLength() &&
            compiled.size() == files.size())
            return;
        compiled.clear();
        for (auto& f : files) {
            std::vector<Compiled> tags;
            for (TagDef& t : f->tags) {
                Compiled c;
                try {
                    c.key = KeyExpr::Compile(t.info.expression, table.Layout(), table.PagePtr());
                    if (!t.info.forCondition.empty())
                        c.cond =
                            KeyExpr::Compile(t.info.forCondition, table.Layout(), table.PagePtr());
                    c.why = f->Supports(t, *c.key);
                    if (c.cond && c.cond->Kind() != KeyKind::Logical)
                        c.why = "conditia FOR nu este logica";
                    c.computable = c.why.empty();
                    t.trail = c.key->Kind() == KeyKind::Text ? ' ' : '\0';
                    t.info.keyType = static_cast<char>(c.key->Kind());
                    bool up = false;
                    const int field = c.key->SoleField(&up);
                    if (field >= 0 && !c.cond) {
                        c.soleField = table.Layout().fields[static_cast<size_t>(field)].def.name;
                        c.soleUpper = up;
                    }
                } catch (const DbfError& e) {
                    c.why = e.what();
                }
                if (!t.byteOrder && c.why.empty())
                    c.why =
                        "cheile nu sunt in ordinea octetilor (indexul a fost scris cu alta "
                        "ordine de sortare)";
                if (t.info.collation != "MACHINE" && !t.info.collation.empty() && c.why.empty())
                    c.why = "ordinea " + t.info.collation + " nu poate fi refacuta exact";
                t.info.rebuildable = c.why.empty();
                t.info.whyNot = c.why;
                tags.push_back(std::move(c));
            }
            compiled.push_back(std::move(tags));
        }
        compiledFor = &table;
        compiledLength = table.RecordLength();
        Refresh();
    }

    void Refresh() {
        infos.clear();
        for (auto& f : files) {
            IndexFileInfo i;
            i.path = f->path;
            i.format = f->format;
            i.production = f->production;
            for (const TagDef& t : f->tags) i.tags.push_back(t.info);
            infos.push_back(std::move(i));
        }
    }

    bool FoldedLess(const TagDef& tag, const std::string& a, const std::string& b) const {
        const size_t n = std::min(a.size(), b.size());
        for (size_t i = 0; i < n; ++i) {
            const auto x = static_cast<uint8_t>(fold[static_cast<uint8_t>(a[i])]);
            const auto y = static_cast<uint8_t>(fold[static_cast<uint8_t>(b[i])]);
            if (x != y) return tag.info.descending ? x > y : x < y;
        }
        return false;
    }
    // The order the tag's keys are in.
    bool InOrder(const TagDef& tag, const Entry& a, const Entry& b) const {
        if (tag.byteOrder) return IndexFile::Less(tag, a, b);
        return !FoldedLess(tag, b.key, a.key);
    }

    // The tag's key of a record; false when its FOR condition leaves the record out.
    bool KeyOf(size_t file, size_t tag, const uint8_t* record, std::string& key) const {
        const Compiled& c = compiled[file][tag];
        if (c.cond && !c.cond->Test(record)) return false;
        key = files[file]->Encode(files[file]->tags[tag], c.key->Eval(record));
        return true;
    }

    void RequireKeepable(size_t file) const {
        for (size_t t = 0; t < files[file]->tags.size(); ++t)
            if (!compiled[file][t].why.empty())
                throw DbfError(ErrorKind::State,
                               "Eticheta " + files[file]->tags[t].info.name + " (" +
                                   files[file]->tags[t].info.expression + ") din " +
                                   files[file]->path +
                                   " nu poate fi tinuta la zi: " + compiled[file][t].why + ".");
    }

    // Every record's key side by side (keyLength bytes each), and whether its FOR condition
    // keeps it: one pass over the table, without a string per key where the key is plain text.
    struct FlatKeys {
        size_t width = 0;
        std::string bytes;
        std::vector<uint8_t> in;
        std::string_view Key(uint32_t r) const { return {bytes.data() + r * width, width}; }
    };
    FlatKeys Flat(const DbfFile& table, size_t file, size_t tag) const {
        const TagDef& def = files[file]->tags[tag];
        const Compiled& c = compiled[file][tag];
        FlatKeys f;
        f.width = static_cast<size_t>(def.keyLength);
        const uint32_t n = table.RecordCount();
        f.bytes.assign(size_t(n) * f.width, ' ');
        f.in.assign(n, 0);
        const bool fast = c.key->Kind() == KeyKind::Text && !def.nullMarker &&
                          static_cast<size_t>(c.key->Width()) == f.width;
        for (uint32_t r = 0; r < n; ++r) {
            const uint8_t* rec = table.Record(r);
            if (c.cond && !c.cond->Test(rec)) continue;
            f.in[r] = 1;
            char* out = f.bytes.data() + size_t(r) * f.width;
            if (fast && c.key->FastText(rec, out)) continue;
            const std::string k = files[file]->Encode(def, c.key->Eval(rec));
            std::memcpy(out, k.data(), std::min(k.size(), f.width));
        }
        return f;
    }

    std::vector<Entry> SortedKeys(const DbfFile& table, size_t file, size_t tag) const {
        const TagDef& def = files[file]->tags[tag];
        const FlatKeys f = Flat(table, file, tag);
        // records sorted by their keys' first eight bytes as one number, then the rest
        struct Item {
            uint64_t head;
            uint32_t rec;
        };
        std::vector<Item> items;
        items.reserve(f.in.size());
        const size_t headBytes = std::min<size_t>(8, f.width);
        for (uint32_t r = 0; r < f.in.size(); ++r) {
            if (!f.in[r]) continue;
            uint64_t head = 0;
            const auto* p = reinterpret_cast<const uint8_t*>(f.bytes.data() + size_t(r) * f.width);
            for (size_t i = 0; i < 8; ++i) head = (head << 8) | (i < headBytes ? p[i] : 0);
            items.push_back({head, r});
        }
        const bool desc = def.info.descending;
        std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
            if (a.head != b.head) return desc ? a.head > b.head : a.head < b.head;
            if (f.width > 8) {
                const int c =
                    std::memcmp(f.bytes.data() + size_t(a.rec) * f.width + 8,
                                f.bytes.data() + size_t(b.rec) * f.width + 8, f.width - 8);
                if (c != 0) return desc ? c > 0 : c < 0;
            }
            return a.rec < b.rec;
        });
        const bool unique = def.info.unique || def.info.candidate;
        std::vector<Entry> keys;
        keys.reserve(items.size());
        for (const Item& it : items) {
            const std::string_view k = f.Key(it.rec);
            if (unique && !keys.empty() && keys.back().key == k) continue;
            keys.push_back({std::string(k), it.rec + 1});
        }
        return keys;
    }
};

IndexSet::IndexSet() : impl_(std::make_unique<Impl>()) {}
IndexSet::~IndexSet() = default;

std::unique_ptr<IndexSet> IndexSet::Open(const DbfFile& table,
                                         const std::vector<std::string>& attached) {
    std::unique_ptr<IndexSet> set(new IndexSet());
    if (table.Layout().productionIndex & 0x01) {
        const std::string prod = FindProductionIndex(table.Path(), table.Layout());
        if (prod.empty())
            throw DbfError(
                ErrorKind::MissingIndex,
                "Fisierul " + table.Path() + " anunta un index de productie care lipseste.");
        auto f = OpenIndexFile(prod, IndexFormatOfFile(prod), ReadWhole(prod));
        f->production = true;
        set->impl_->files.push_back(std::move(f));
    }
    for (const std::string& a : attached) {
        auto f = OpenIndexFile(a, IndexFormatOfFile(a), ReadWhole(a));
        set->impl_->files.push_back(std::move(f));
    }
    set->impl_->newFile.assign(set->impl_->files.size(), false);
    set->impl_->Compile(table);  // the pad byte of each tag's keys
    // Keys another program ordered without regard to case and accents read right in that
    // order, but we can't keep it: found once, here. Any other disorder is damage.
    set->impl_->fold = FoldTable(table.Page());
    for (auto& f : set->impl_->files)
        for (TagDef& t : f->tags) {
            if (t.trail != ' ') continue;
            std::string prev;
            bool bytes = true, folded = true;
            try {
                f->Walk(t, {}, [&](const std::string& key, uint32_t) {
                    if (!prev.empty()) {
                        const int c = key.compare(prev);
                        if (t.info.descending ? c > 0 : c < 0) bytes = false;
                        if (set->impl_->FoldedLess(t, key, prev)) folded = false;
                    }
                    prev = key;
                    return folded;
                });
            } catch (const Damage&) {
            }
            t.byteOrder = bytes || !folded;
        }
    set->impl_->compiledFor = nullptr;
    set->impl_->Compile(table);
    return set;
}

std::unique_ptr<IndexSet> IndexSet::CreateProduction(const DbfFile& table) {
    std::unique_ptr<IndexSet> set(new IndexSet());
    const std::string path = ProductionIndexPathFor(table.Path(), table.Layout());
    auto f = NewIndexFile(path, UsesCdx(table.Layout()) ? IndexFormat::Cdx : IndexFormat::Mdx);
    f->production = true;
    set->impl_->files.push_back(std::move(f));
    set->impl_->newFile.assign(1, true);
    set->impl_->Compile(table);
    return set;
}

bool IndexSet::Empty() const {
    return impl_->files.empty();
}
const std::vector<IndexFileInfo>& IndexSet::Files() const {
    return impl_->infos;
}

std::vector<std::string> IndexSet::Unkeepable() const {
    std::vector<std::string> out;
    for (const IndexFileInfo& f : impl_->infos)
        for (const IndexTagInfo& t : f.tags)
            if (!t.rebuildable)
                out.push_back(f.path + ": " + t.name + " (" + t.expression + "): " + t.whyNot);
    return out;
}

std::vector<IndexProblem> IndexSet::Check(const DbfFile& table) const {
    impl_->Compile(table);
    std::vector<IndexProblem> problems;
    const uint32_t count = table.RecordCount();
    for (size_t fi = 0; fi < impl_->files.size(); ++fi) {
        const IndexFile& file = *impl_->files[fi];
        for (size_t ti = 0; ti < file.tags.size(); ++ti) {
            const TagDef& tag = file.tags[ti];
            size_t reported = 0, more = 0;
            auto report = [&](const std::string& what) {
                if (reported < kProblemsPerTag) {
                    problems.push_back({file.path, tag.info.name, what});
                    ++reported;
                } else {
                    ++more;
                }
            };
            const bool computable = impl_->compiled[fi][ti].computable;
            if (!computable) report("cheile nu pot fi verificate: " + impl_->compiled[fi][ti].why);
            Impl::FlatKeys expectedKeys;
            if (computable) expectedKeys = impl_->Flat(table, fi, ti);
            std::vector<uint8_t> seen(count, 0);
            std::unordered_set<std::string> keysSeen;
            const bool unique = tag.info.unique || tag.info.candidate;
            Entry prev;
            bool first = true;
            size_t n = 0;
            try {
                file.Walk(tag, {}, [&](const std::string& key, uint32_t rec) {
                    ++n;
                    const Entry e{key, rec};
                    if (!first && !impl_->InOrder(tag, prev, e))
                        report("cheile nu sunt in ordine la inregistrarea " + std::to_string(rec));
                    first = false;
                    prev = e;
                    if (rec == 0 || rec > count) {
                        report("numar de inregistrare gresit: " + std::to_string(rec) +
                               " (tabelul are " + std::to_string(count) + ")");
                        return true;
                    }
                    if (seen[rec - 1]) {
                        report("inregistrarea " + std::to_string(rec) + " apare de doua ori");
                        return true;
                    }
                    seen[rec - 1] = 1;
                    if (unique) keysSeen.insert(key);
                    if (!computable) return true;
                    if (!expectedKeys.in[rec - 1])
                        report("inregistrarea " + std::to_string(rec) +
                               " nu indeplineste conditia FOR dar are cheie");
                    else if (expectedKeys.Key(rec - 1) != key)
                        report("cheia inregistrarii " + std::to_string(rec) +
                               " nu este valoarea ei");
                    return true;
                });
            } catch (const Damage& d) {
                report(std::string("pagina deteriorata: ") + d.what());
                continue;
            }
            if (computable) {
                size_t missing = 0;
                uint32_t firstMissing = 0;
                for (uint32_t r = 0; r < count; ++r) {
                    if (seen[r] || !expectedKeys.in[r]) continue;
                    if (unique && keysSeen.count(std::string(expectedKeys.Key(r)))) continue;
                    if (missing++ == 0) firstMissing = r + 1;
                }
                if (missing)
                    report("lipsesc cheile a " + std::to_string(missing) +
                           " inregistrari (prima: " + std::to_string(firstMissing) + "); are " +
                           std::to_string(n) + " chei");
            }
            if (more) report("si inca " + std::to_string(more) + " nepotriviri");
        }
    }
    return problems;
}

std::vector<std::unique_ptr<TempFile>> IndexSet::WriteRebuilt(const DbfFile& table) const {
    impl_->Compile(table);
    for (size_t fi = 0; fi < impl_->files.size(); ++fi) impl_->RequireKeepable(fi);
    std::vector<std::unique_ptr<TempFile>> out;
    for (size_t fi = 0; fi < impl_->files.size(); ++fi) {
        IndexFile& file = *impl_->files[fi];
        // a single-index file given no tag yet has nothing to hold
        if (file.tags.empty() && file.format != IndexFormat::Cdx && file.format != IndexFormat::Mdx)
            continue;
        std::vector<std::vector<Entry>> keys;
        for (size_t ti = 0; ti < file.tags.size(); ++ti)
            keys.push_back(impl_->SortedKeys(table, fi, ti));
        std::vector<TagDef> defs = file.tags;
        const std::string bytes = file.Build(defs, keys);
        auto temp = std::make_unique<TempFile>(file.path);
        temp->Write(bytes.data(), bytes.size());
        temp->Finish();
        out.push_back(std::move(temp));
    }
    return out;
}

void IndexSet::AddTag(const DbfFile& table, const NewIndexTag& tag, int fileIndex) {
    impl_->Compile(table);
    if (tag.name.empty() || tag.name.size() > 10)
        throw DbfError(ErrorKind::State, "Numele etichetei trebuie sa aiba 1-10 caractere.");
    if (FindTag(tag.name))
        throw DbfError(ErrorKind::State, "Eticheta " + tag.name + " exista deja.");
    size_t fi = 0;
    if (fileIndex >= 0) {
        fi = static_cast<size_t>(fileIndex);
    } else {
        auto it = std::find_if(impl_->files.begin(), impl_->files.end(),
                               [](const auto& f) { return f->production; });
        if (it == impl_->files.end())
            throw DbfError(ErrorKind::State, "Tabelul nu are un index de productie.");
        fi = static_cast<size_t>(it - impl_->files.begin());
    }
    if (fi >= impl_->files.size()) throw DbfError(ErrorKind::State, "Fisier de index inexistent.");
    IndexFile& file = *impl_->files[fi];
    if (file.format != IndexFormat::Cdx && file.format != IndexFormat::Mdx && !file.tags.empty())
        throw DbfError(ErrorKind::State, "Fisierul " + file.path + " tine o singura eticheta.");
    KeyExpr key = KeyExpr::Compile(tag.expression, table.Layout(), table.PagePtr());
    if (!tag.forCondition.empty()) {
        KeyExpr cond = KeyExpr::Compile(tag.forCondition, table.Layout(), table.PagePtr());
        if (cond.Kind() != KeyKind::Logical)
            throw DbfError(ErrorKind::Filter, "Conditia FOR trebuie sa fie logica.");
    }
    TagDef def = file.Define(tag, key);
    std::string upper = def.info.name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    def.info.name = upper;
    const std::string why = file.Supports(def, key);
    if (!why.empty()) throw DbfError(ErrorKind::Filter, "Eticheta " + tag.name + ": " + why + ".");
    file.tags.push_back(std::move(def));
    impl_->compiledFor = nullptr;
    impl_->Compile(table);
}

void IndexSet::DropTag(const std::string& name) {
    auto ref = FindTag(name);
    if (!ref) throw DbfError(ErrorKind::State, "Eticheta " + name + " nu exista.");
    auto& file = impl_->files[static_cast<size_t>(ref->file)];
    file->tags.erase(file->tags.begin() + ref->tag);
    auto& c = impl_->compiled[static_cast<size_t>(ref->file)];
    c.erase(c.begin() + ref->tag);
    impl_->Refresh();
}

int IndexSet::AddFile(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const std::string ext = dot == std::string::npos ? std::string() : Lower(path.substr(dot + 1));
    IndexFormat format;
    if (ext == "ntx")
        format = IndexFormat::Ntx;
    else if (ext == "idx")
        format = IndexFormat::IdxCompact;
    else
        throw DbfError(ErrorKind::State, "Un index nou atasat este un fisier .ntx sau .idx.");
    impl_->files.push_back(NewIndexFile(path, format));
    impl_->newFile.push_back(true);
    impl_->compiled.emplace_back();
    impl_->Refresh();
    return static_cast<int>(impl_->files.size() - 1);
}

void IndexSet::UpdateRecord(const DbfFile& table, uint32_t record, const uint8_t* oldRecord,
                            const uint8_t* newRecord) {
    impl_->Compile(table);
    struct Change {
        size_t file, tag;
        bool hadOld, hasNew;
        std::string oldKey, newKey;
    };
    std::vector<Change> changes;
    for (size_t fi = 0; fi < impl_->files.size(); ++fi) {
        for (size_t ti = 0; ti < impl_->files[fi]->tags.size(); ++ti) {
            Change c{fi, ti, false, false, {}, {}};
            if (!impl_->compiled[fi][ti].why.empty()) impl_->RequireKeepable(fi);
            if (oldRecord) c.hadOld = impl_->KeyOf(fi, ti, oldRecord, c.oldKey);
            c.hasNew = impl_->KeyOf(fi, ti, newRecord, c.newKey);
            if (c.hadOld == c.hasNew && c.oldKey == c.newKey) continue;
            changes.push_back(std::move(c));
        }
    }
    const uint32_t rec = record + 1;
    // A candidate key refuses a value another record holds, before anything is written.
    for (const Change& c : changes) {
        const TagDef& t = impl_->files[c.file]->tags[c.tag];
        if (!t.info.candidate || !c.hasNew) continue;
        bool taken = false;
        impl_->files[c.file]->Walk(t, c.newKey, [&](const std::string& k, uint32_t r) {
            if (k != c.newKey) return false;
            if (r != rec) taken = true;
            return !taken;
        });
        if (taken)
            throw DbfError(ErrorKind::Conversion, "Valoarea exista deja in eticheta " +
                                                      t.info.name + " (cheie candidat).");
    }
    for (const Change& c : changes) {
        IndexFile& file = *impl_->files[c.file];
        TagDef& t = file.tags[c.tag];
        const bool unique = t.info.unique || t.info.candidate;
        if (c.hadOld) {
            const bool removed = file.Remove(t, c.oldKey, rec);
            if (!removed && !unique)
                throw DbfError(ErrorKind::Malformed,
                               "Indexul " + file.path + " (eticheta " + t.info.name +
                                   ") nu are cheia inregistrarii " + std::to_string(rec) +
                                   "; refaceti indexul.");
            if (removed && unique) {
                // another record with the same key takes its place
                std::string k;
                for (uint32_t r = 0; r < table.RecordCount(); ++r) {
                    if (r == record) continue;
                    if (impl_->KeyOf(c.file, c.tag, table.Record(r), k) && k == c.oldKey) {
                        file.Insert(t, k, r + 1);
                        break;
                    }
                }
            }
        }
        if (c.hasNew) {
            if (unique) {
                bool present = false;
                file.Walk(t, c.newKey, [&](const std::string& k, uint32_t) {
                    present = k == c.newKey;
                    return false;
                });
                if (present) continue;
            }
            file.Insert(t, c.newKey, rec);
        }
    }
}

void IndexSet::AppendRecord(const DbfFile& table, uint32_t record, const uint8_t* newRecord) {
    UpdateRecord(table, record, nullptr, newRecord);
}

bool IndexSet::UpdatesInPlace() const {
    return std::none_of(impl_->files.begin(), impl_->files.end(),
                        [](const auto& f) { return f->format == IndexFormat::Mdx; });
}

void IndexSet::Flush() {
    for (auto& f : impl_->files) f->Flush();
}

std::optional<IndexSet::TagRef> IndexSet::FindTag(std::string_view name) const {
    for (size_t fi = 0; fi < impl_->files.size(); ++fi)
        for (size_t ti = 0; ti < impl_->files[fi]->tags.size(); ++ti)
            if (SameName(impl_->files[fi]->tags[ti].info.name, name))
                return TagRef{static_cast<int>(fi), static_cast<int>(ti)};
    return std::nullopt;
}

std::optional<IndexSet::TagRef> IndexSet::TagForField(std::string_view field, bool* upper) const {
    std::optional<TagRef> best;
    for (size_t fi = 0; fi < impl_->compiled.size(); ++fi)
        for (size_t ti = 0; ti < impl_->compiled[fi].size(); ++ti) {
            const auto& c = impl_->compiled[fi][ti];
            const TagDef& t = impl_->files[fi]->tags[ti];
            if (c.soleField.empty() || !SameName(c.soleField, field) || t.info.descending ||
                t.info.unique || t.info.candidate || !c.why.empty())
                continue;
            // the field itself is best: its seek needs no upper case
            if (!best || !c.soleUpper) {
                best = TagRef{static_cast<int>(fi), static_cast<int>(ti)};
                if (upper) *upper = c.soleUpper;
            }
        }
    return best;
}

void IndexSet::Walk(TagRef tag, const std::function<bool(uint32_t record)>& visit) const {
    WalkKeys(tag, [&](const std::string&, uint32_t rec) { return visit(rec); });
}

void IndexSet::WalkKeys(
    TagRef tag, const std::function<bool(const std::string& key, uint32_t record)>& visit) const {
    const IndexFile& file = *impl_->files.at(static_cast<size_t>(tag.file));
    try {
        file.Walk(
            file.tags.at(static_cast<size_t>(tag.tag)), {},
            [&](const std::string& key, uint32_t rec) { return rec == 0 || visit(key, rec - 1); });
    } catch (const Damage& d) {
        throw DbfError(ErrorKind::Malformed,
                       "Indexul " + file.path + " este deteriorat (" + d.what() + ").");
    }
}

std::vector<uint32_t> IndexSet::Seek(TagRef ref, std::string_view value, bool prefix) const {
    const IndexFile& file = *impl_->files.at(static_cast<size_t>(ref.file));
    const TagDef& tag = file.tags.at(static_cast<size_t>(ref.tag));
    const auto& c =
        impl_->compiled.at(static_cast<size_t>(ref.file)).at(static_cast<size_t>(ref.tag));
    if (!c.key) return {};
    KeyValue v;
    v.kind = c.key->Kind();
    std::string key;
    if (v.kind == KeyKind::Text) {
        const CodePage* page = impl_->compiledFor ? &impl_->compiledFor->Page() : nullptr;
        try {
            v.text = page ? page->Encode(value) : std::string(value);
        } catch (const DbfError&) {
            return {};  // a character the table can't hold is in no key
        }
        if (v.text.size() > static_cast<size_t>(c.key->Width())) return {};
        if (prefix) {
            key = (tag.nullMarker ? std::string("\x80") : std::string()) + v.text;
        } else {
            v.text.resize(static_cast<size_t>(c.key->Width()), ' ');
            key = file.Encode(tag, v);
        }
    } else {
        const std::string text(value);
        if (v.kind == KeyKind::Date || v.kind == KeyKind::DateTime) {
            int y = 0, m = 0, d = 0;
            if (text.size() != 8 || std::sscanf(text.c_str(), "%4d%2d%2d", &y, &m, &d) != 3 ||
                !IsValidDate(y, m, d))
                return {};
            v.number = DayNumber(y, m, d) + double(kJulianDayZero);
        } else if (v.kind == KeyKind::Logical) {
            v.flag = !text.empty() && (text[0] == 'T' || text[0] == 't');
        } else {
            char* end = nullptr;
            v.number = std::strtod(text.c_str(), &end);
            v.integer = static_cast<int64_t>(v.number * (v.kind == KeyKind::Currency ? 10000 : 1));
        }
        try {
            key = file.Encode(tag, v);
        } catch (const DbfError&) {
            return {};
        }
        prefix = false;
    }
    std::vector<uint32_t> out;
    try {
        file.Walk(tag, key, [&](const std::string& k, uint32_t rec) {
            if (k.compare(0, key.size(), key) != 0) return false;
            if (rec > 0) out.push_back(rec - 1);
            return true;
        });
    } catch (const Damage& d) {
        throw DbfError(ErrorKind::Malformed,
                       "Indexul " + file.path + " este deteriorat (" + d.what() + ").");
    }
    return out;
}

}  // namespace orbelan
