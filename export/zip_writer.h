#pragma once
// A ZIP archive written into a scratch file: each member deflated as it comes after its local
// header, whose checksum and sizes are filled in when the member ends (no data descriptors), the
// central directory at the end, ZIP64 records where a member or the archive passes 4 GB. Enough for
// a workbook's parts; nothing is kept in memory but the list of names and a few blocks on their
// way. Compressing and writing run on a thread of their own, so the caller prepares the next block
// meanwhile; a failure there comes back as an exception from the next call.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orbelan {

class TempFile;

class ZipWriter {
  public:
    // level: zlib's 1 (fastest) to 9. Throws std::runtime_error when zlib refuses.
    // Destroyed before Finish (cancelled or failed), it drops what is still queued.
    ZipWriter(TempFile& file, int level);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // large: the member may pass 4 GB (its size is not known before), so its local header
    // carries a ZIP64 field; any other member that does fails with std::runtime_error.
    void BeginMember(std::string name, bool large = false);
    void Write(std::string_view data);
    void EndMember();
    void AddMember(std::string name, std::string_view data) {
        BeginMember(std::move(name));
        Write(data);
        EndMember();
    }
    // The central directory; once it returns the file holds the whole archive.
    void Finish();

  private:
    struct Member {
        std::string name;
        uint64_t offset = 0, packed = 0, size = 0;
        uint32_t crc = 0;
        bool large = false;
    };
    void Deflate(std::string_view data, int flush);
    // Runs on the worker, in the order the calls came.
    void Begin(std::string name, bool large);
    void Take(std::string_view data);
    void End();
    void WriteDirectory();
    void Queue(std::function<void()> task);
    void Work();

    TempFile& file_;
    struct Stream;
    std::unique_ptr<Stream> z_;
    std::vector<Member> members_;
    std::string out_;  // deflated bytes on their way to the file
    bool open_ = false;
    uint16_t dosTime_ = 0, dosDate_ = 0;
};

}  // namespace orbelan
