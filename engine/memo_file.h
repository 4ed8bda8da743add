#pragma once
// Memo files beside a table:
//   .dbt dBase III  512-byte blocks, a value ends with 0x1A 0x1A; header: next free block (LE)
//   .dbt dBase IV/7 block size at byte 20 (LE); a value starts FF FF 08 00 + length (LE, +8)
//   .fpt FoxPro     block size at byte 6 (BE); a value starts with type and length (both BE)
// Block 0 is the header, so pointer 0 means "no memo". A changed memo is always written to new
// blocks at the end; old blocks are never overwritten, so the table and its memo file stay
// consistent whatever happens between the two writes.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/dbf_header.h"
#include "engine/file_io.h"

namespace orbelan {

struct MemoValue {
    bool ok = true;
    uint32_t type = 1;    // FoxPro block type: 1 text, 0 picture
    std::string bytes;    // stored bytes when ok; the reader's Romanian marker when not
    bool cut = false;     // ReadHead: the value goes on past the bytes read
    uint64_t length = 0;  // ReadHead: the whole value's length; 0 when cut and not known
};

class MemoFile {
  public:
    // Opens an existing memo file, for writing when allowed. Throws DbfError(CannotOpen).
    static std::unique_ptr<MemoFile> Open(const std::string& path, MemoKind kind);

    const std::string& Path() const { return handle_.Path(); }
    MemoKind Kind() const { return kind_; }
    uint32_t BlockSize() const { return blockSize_; }

    // Never reads past the end: a pointer beyond it gives ok=false and a marker such as
    // "<memo ilizibil: blocul 57 lipseste>".
    MemoValue Read(uint32_t block) const;
    // At most `limit` bytes of the value, for showing its start (a grid cell reads no more).
    MemoValue ReadHead(uint32_t block, size_t limit) const;
    // Appends a value in new blocks and updates the header; returns its first block.
    uint32_t Append(std::string_view bytes, uint32_t type = 1);
    void Sync() { handle_.Sync(); }

    // A dBase III value ends at its first 0x1A: a text holding one would read back cut. Throws
    // DbfError(Conversion) for such bytes in such a file.
    static void CheckStorable(MemoKind kind, std::string_view bytes);

    // The layout of a new memo file and of one value in it, for writers of whole files.
    static uint32_t DefaultBlockSize(MemoKind kind);
    static std::string NewHeader(MemoKind kind, uint32_t blockSize, uint32_t nextFreeBlock);
    // The value's blocks, padded to whole blocks.
    static std::string EncodeValue(MemoKind kind, uint32_t blockSize, std::string_view bytes,
                                   uint32_t type = 1);
    // Byte offset and value of the "next free block" field of the header.
    static void PatchNextFree(MemoKind kind, uint32_t nextFreeBlock, std::string& header);

  private:
    MemoFile() = default;
    FileHandle handle_;
    MemoKind kind_ = MemoKind::None;
    uint32_t blockSize_ = 512;
};

}  // namespace orbelan
