#include "engine/memo_file.h"

#include <algorithm>

#include "engine/byte_order.h"
#include "engine/errors.h"

namespace orbelan {
namespace {

constexpr uint64_t kMaxMemo = 256u << 20;  // a larger "length" is a damaged block, not a memo

MemoValue Unreadable(uint32_t block, const std::string& why) {
    MemoValue v;
    v.ok = false;
    v.bytes = "<memo ilizibil: blocul " + std::to_string(block) + " " + why + ">";
    return v;
}

}  // namespace

std::unique_ptr<MemoFile> MemoFile::Open(const std::string& path, MemoKind kind) {
    std::unique_ptr<MemoFile> m(new MemoFile());
    m->handle_ = FileHandle::OpenReadWriteIfAllowed(path);
    m->kind_ = kind;
    uint8_t header[32] = {};
    const size_t n = m->handle_.ReadAt(0, header, sizeof header);
    m->blockSize_ = DefaultBlockSize(kind);
    if (kind == MemoKind::Fpt && n >= 8) {
        const uint32_t bs = (static_cast<uint32_t>(header[6]) << 8) | header[7];
        if (bs != 0) m->blockSize_ = bs;
    } else if (kind == MemoKind::Dbt4 && n >= 22) {
        const uint32_t bs =
            static_cast<uint32_t>(header[20]) | (static_cast<uint32_t>(header[21]) << 8);
        if (bs >= 64 && bs % 64 == 0) m->blockSize_ = bs;
    }
    return m;
}

uint32_t MemoFile::DefaultBlockSize(MemoKind kind) {
    return kind == MemoKind::Fpt ? 64 : 512;
}

MemoValue MemoFile::Read(uint32_t block) const {
    const uint64_t size = handle_.Size();
    const uint64_t start = static_cast<uint64_t>(block) * blockSize_;
    if (block == 0 || start >= size) return Unreadable(block, "lipseste");
    uint8_t head[8] = {};
    const size_t got = handle_.ReadAt(start, head, sizeof head);
    MemoValue v;
    if (kind_ == MemoKind::Fpt) {
        if (got < 8) return Unreadable(block, "este trunchiat");
        v.type = LoadBE32(head);
        const uint64_t length = LoadBE32(head + 4);
        if (length > kMaxMemo || start + 8 + length > size)
            return Unreadable(block, "este trunchiat");
        v.bytes.resize(length);
        handle_.ReadAt(start + 8, v.bytes.data(), length);
        return v;
    }
    if (got == 8 && head[0] == 0xFF && head[1] == 0xFF && head[2] == 0x08 && head[3] == 0x00) {
        const uint64_t length = LoadLE32(head + 4);
        if (length < 8 || length > kMaxMemo || start + length > size)
            return Unreadable(block, "este trunchiat");
        v.bytes.resize(length - 8);
        handle_.ReadAt(start + 8, v.bytes.data(), length - 8);
        return v;
    }
    // dBase III: up to the 0x1A end mark, or the end of the file.
    std::string chunk(blockSize_, '\0');
    uint64_t offset = start;
    while (offset < size && v.bytes.size() < kMaxMemo) {
        const size_t n = handle_.ReadAt(offset, chunk.data(), chunk.size());
        if (n == 0) break;
        const auto end = std::find(chunk.begin(), chunk.begin() + static_cast<long>(n), '\x1A');
        v.bytes.append(chunk.begin(), end);
        if (end != chunk.begin() + static_cast<long>(n)) break;
        offset += n;
    }
    return v;
}

MemoValue MemoFile::ReadHead(uint32_t block, size_t limit) const {
    const uint64_t size = handle_.Size();
    const uint64_t start = static_cast<uint64_t>(block) * blockSize_;
    if (block == 0 || start >= size) return Unreadable(block, "lipseste");
    uint8_t head[8] = {};
    const size_t got = handle_.ReadAt(start, head, sizeof head);
    const bool fpt = kind_ == MemoKind::Fpt;
    const bool dbt4 =
        !fpt && got == 8 && head[0] == 0xFF && head[1] == 0xFF && head[2] == 0x08 && head[3] == 0;
    MemoValue v;
    if (fpt || dbt4) {
        if (got < 8) return Unreadable(block, "este trunchiat");
        if (fpt) v.type = LoadBE32(head);
        const uint64_t stored = fpt ? LoadBE32(head + 4) : LoadLE32(head + 4);
        if (dbt4 && stored < 8) return Unreadable(block, "este trunchiat");
        v.length = dbt4 ? stored - 8 : stored;
        if (v.length > kMaxMemo || start + 8 + v.length > size)
            return Unreadable(block, "este trunchiat");
        v.cut = v.length > limit;
        v.bytes.resize(std::min<uint64_t>(v.length, limit));
        handle_.ReadAt(start + 8, v.bytes.data(), v.bytes.size());
        return v;
    }
    v.bytes.resize(std::min<uint64_t>(limit + 1, size - start));
    v.bytes.resize(handle_.ReadAt(start, v.bytes.data(), v.bytes.size()));
    const size_t end = v.bytes.find('\x1A');
    if (end != std::string::npos) v.bytes.resize(end);
    v.cut = v.bytes.size() > limit;
    if (v.cut) v.bytes.resize(limit);
    v.length = v.cut ? 0 : v.bytes.size();  // a cut dBase III value's length is not known
    return v;
}

std::string MemoFile::NewHeader(MemoKind kind, uint32_t blockSize, uint32_t nextFreeBlock) {
    std::string h(kind == MemoKind::Fpt ? 512 : blockSize, '\0');
    PatchNextFree(kind, nextFreeBlock, h);
    if (kind == MemoKind::Fpt) {
        h[6] = static_cast<char>(blockSize >> 8);
        h[7] = static_cast<char>(blockSize & 0xFF);
    } else if (kind == MemoKind::Dbt4) {
        h[20] = static_cast<char>(blockSize & 0xFF);
        h[21] = static_cast<char>(blockSize >> 8);
    } else {
        h[0x10] = 0x03;  // dBase III version mark
    }
    return h;
}

void MemoFile::PatchNextFree(MemoKind kind, uint32_t nextFreeBlock, std::string& header) {
    if (kind == MemoKind::Fpt)
        PutBE32(header, 0, nextFreeBlock);
    else
        PutLE32(header, 0, nextFreeBlock);
}

void MemoFile::CheckStorable(MemoKind kind, std::string_view bytes) {
    if (kind == MemoKind::Dbt3 && bytes.find('\x1A') != std::string_view::npos)
        throw DbfError(ErrorKind::Conversion,
                       "Textul are caracterul 0x1A, care intr-un memo dBase III inseamna sfarsitul "
                       "textului: s-ar citi doar pana la el.");
}

std::string MemoFile::EncodeValue(MemoKind kind, uint32_t blockSize, std::string_view bytes,
                                  uint32_t type) {
    CheckStorable(kind, bytes);
    std::string out;
    if (kind == MemoKind::Fpt) {
        out.assign(8, '\0');
        PutBE32(out, 0, type);
        PutBE32(out, 4, static_cast<uint32_t>(bytes.size()));
        out += bytes;
    } else if (kind == MemoKind::Dbt4) {
        out.assign("\xFF\xFF\x08\x00", 4);
        out.resize(8);
        PutLE32(out, 4, static_cast<uint32_t>(bytes.size() + 8));
        out += bytes;
    } else {
        out.assign(bytes);
        out += "\x1A\x1A";
    }
    const size_t padded = (out.size() + blockSize - 1) / blockSize * blockSize;
    out.resize(padded, kind == MemoKind::Dbt3 ? '\0' : '\0');
    return out;
}

uint32_t MemoFile::Append(std::string_view bytes, uint32_t type) {
    const std::string data = EncodeValue(kind_, blockSize_, bytes, type);
    // New blocks go after the last byte of the file. The header's "next free block" is not
    // trusted: pointing inside the file it would overwrite live memos, and far past the end (a
    // damaged header) it would make the file grow by gigabytes.
    const uint64_t firstUnused = (handle_.Size() + blockSize_ - 1) / blockSize_;
    const uint64_t headerBlocks = kind_ == MemoKind::Fpt ? (512 + blockSize_ - 1) / blockSize_ : 1;
    const uint64_t start = std::max(firstUnused, headerBlocks);
    if (start + data.size() / blockSize_ > 0xFFFFFFFFu)
        throw DbfError(ErrorKind::Io, "Fisierul memo " + Path() + " este plin.");
    const auto next = static_cast<uint32_t>(start);
    handle_.WriteAt(static_cast<uint64_t>(next) * blockSize_, data.data(), data.size());
    const uint32_t newNext = next + static_cast<uint32_t>(data.size() / blockSize_);
    std::string patch(4, '\0');
    if (kind_ == MemoKind::Fpt)
        PutBE32(patch, 0, newNext);
    else
        PutLE32(patch, 0, newNext);
    handle_.WriteAt(0, patch.data(), 4);
    return next;
}

}  // namespace orbelan
