#pragma once
// One index file in memory, whatever its format: the tags it holds, their walk in key order, the
// in-place insert and remove of one key, and the writing of a whole new file from sorted keys.
// The formats implement it (cdx.cpp, ntx.cpp); index_set.cpp uses it.
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/file_io.h"
#include "engine/index/index_set.h"
#include "engine/index/key_expr.h"

namespace orbelan::index_detail {

struct Entry {
    std::string key;   // as stored, full key length
    uint32_t rec = 0;  // record number from 1, as the files count
};

// A page that can't be read as its format says (check-index reports it).
class Damage : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct TagDef {
    IndexTagInfo info;
    int keyLength = 0;
    char trail = ' ';         // the byte keys are padded with (CDX leaves count it)
    bool nullMarker = false;  // FoxPro: a key of a nullable field starts with a null marker byte
    uint32_t header = 0;      // where the tag's header is (CDX: file offset)
    std::string headerBytes;  // the header as read, so unknown bytes survive a rebuild
    uint8_t options = 0;      // CDX option byte
    int decimals = 0;         // NTX numeric keys
    // The keys as stored follow byte order. False for an index another program wrote in the
    // order of its letters whatever their case and accents (found when the file is opened): it
    // is read and checked in that order, never written.
    bool byteOrder = true;
};

using Visit = std::function<bool(const std::string& key, uint32_t rec)>;

class IndexFile {
  public:
    virtual ~IndexFile() = default;

    std::string path;
    IndexFormat format = IndexFormat::Cdx;
    bool production = false;
    std::vector<TagDef> tags;

    // Keys of a tag in its order, from the first key >= from (all when from is empty; compared
    // over from's length). Throws Damage for a page it can't read.
    virtual void Walk(const TagDef& tag, const std::string& from, const Visit& visit) const = 0;
    // In place, written to the file at once. Remove returns false when the key is not there.
    virtual void Insert(TagDef& tag, const std::string& key, uint32_t rec) = 0;
    virtual bool Remove(TagDef& tag, const std::string& key, uint32_t rec) = 0;
    // A whole file holding tags with their keys (each list sorted by Less).
    virtual std::string Build(std::vector<TagDef>& defs,
                              const std::vector<std::vector<Entry>>& keys) const = 0;
    // The key bytes of a value for this tag; throws DbfError(State) for one the format can't
    // hold (a negative number in an .ntx, say).
    virtual std::string Encode(const TagDef& tag, const KeyValue& value) const = 0;
    // Whether the format keeps keys of this kind (empty) or why not.
    virtual std::string Supports(const TagDef& tag, const KeyExpr& expr) const = 0;
    // A new tag's definition in this file from its expression.
    virtual TagDef Define(const NewIndexTag& tag, const KeyExpr& expr) const = 0;

    // Order of keys in a tag: bytes, then record number (descending tags: keys reversed).
    static bool Less(const TagDef& tag, const Entry& a, const Entry& b) {
        const int c = a.key.compare(b.key);
        if (c != 0) return tag.info.descending ? c > 0 : c < 0;
        return a.rec < b.rec;
    }

    void Flush() {
        if (handle_.IsOpen()) handle_.Sync();
    }

  protected:
    std::string data_;  // the whole file
    mutable FileHandle handle_;
    void Put(uint64_t offset, const std::string& bytes) {
        if (data_.size() < offset + bytes.size()) data_.resize(offset + bytes.size(), '\0');
        data_.replace(offset, bytes.size(), bytes);
        if (!handle_.IsOpen()) handle_ = FileHandle::OpenReadWrite(path);
        handle_.WriteAt(offset, bytes.data(), bytes.size());
    }

    friend std::unique_ptr<IndexFile> OpenIndexFile(const std::string& path, IndexFormat format,
                                                    std::string data);
    friend std::unique_ptr<IndexFile> NewIndexFile(const std::string& path, IndexFormat format);
    virtual void Parse() = 0;
};

std::unique_ptr<IndexFile> OpenIndexFile(const std::string& path, IndexFormat format,
                                         std::string data);
// An empty file of a format (no tags yet), for a new production index.
std::unique_ptr<IndexFile> NewIndexFile(const std::string& path, IndexFormat format);

std::unique_ptr<IndexFile> MakeCdx(bool compound);
std::unique_ptr<IndexFile> MakeNtx();
std::unique_ptr<IndexFile> MakeMdx();

}  // namespace orbelan::index_detail
