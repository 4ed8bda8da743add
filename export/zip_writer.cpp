#include "export/zip_writer.h"

// Only in builds with zlib (not the Windows one), which alone make .xlsx files.
#ifdef ORBELAN_HAVE_XLSX
#include <zlib.h>

#include <condition_variable>
#include <ctime>
#include <deque>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "engine/file_io.h"

namespace orbelan {

namespace {

constexpr uint64_t k32 = 0xFFFFFFFFu;
constexpr size_t kOutChunk = 1 << 18;

void Put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, uint64_t v) {
    Put16(s, static_cast<uint32_t>(v & 0xFFFF));
    Put16(s, static_cast<uint32_t>((v >> 16) & 0xFFFF));
}
void Put64(std::string& s, uint64_t v) {
    Put32(s, v & k32);
    Put32(s, v >> 32);
}
uint64_t Cap32(uint64_t v) {
    return v >= k32 ? k32 : v;
}

}  // namespace

struct ZipWriter::Stream {
    z_stream z{};
    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::function<void()>> tasks;
    bool busy = false, stop = false;
    std::exception_ptr error;
    std::thread worker;
};

// Blocks waiting for the worker: enough to keep it busy, few enough to keep memory flat.
constexpr size_t kQueued = 4;

ZipWriter::ZipWriter(TempFile& file, int level) : file_(file), z_(std::make_unique<Stream>()) {
    // Raw deflate: the ZIP headers stand in for zlib's own.
    if (deflateInit2(&z_->z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("zlib nu poate comprima.");
    const std::time_t now = std::time(nullptr);
    if (const std::tm* t = std::localtime(&now); t && t->tm_year >= 80) {
        dosTime_ = static_cast<uint16_t>(t->tm_hour << 11 | t->tm_min << 5 | t->tm_sec / 2);
        dosDate_ =
            static_cast<uint16_t>((t->tm_year - 80) << 9 | (t->tm_mon + 1) << 5 | t->tm_mday);
    } else {
        dosDate_ = 1 << 5 | 1;  // 1 January 1980
    }
    out_.resize(kOutChunk);
    z_->worker = std::thread([this] { Work(); });
}

ZipWriter::~ZipWriter() {
    {
        std::lock_guard<std::mutex> hold(z_->lock);
        z_->stop = true;
        z_->tasks.clear();
    }
    z_->changed.notify_all();
    z_->worker.join();
    deflateEnd(&z_->z);
}

void ZipWriter::Work() {
    std::unique_lock<std::mutex> hold(z_->lock);
    for (;;) {
        z_->changed.wait(hold, [&] { return z_->stop || !z_->tasks.empty(); });
        if (z_->stop) return;
        std::function<void()> task = std::move(z_->tasks.front());
        z_->tasks.pop_front();
        z_->busy = true;
        hold.unlock();
        std::exception_ptr error;
        try {
            task();
        } catch (...) {
            error = std::current_exception();
        }
        hold.lock();
        z_->busy = false;
        if (error) {
            z_->error = error;
            z_->tasks.clear();  // nothing after a failed write makes sense
        }
        z_->changed.notify_all();
    }
}

void ZipWriter::Queue(std::function<void()> task) {
    std::unique_lock<std::mutex> hold(z_->lock);
    z_->changed.wait(hold, [&] { return z_->error || z_->tasks.size() < kQueued; });
    if (z_->error) std::rethrow_exception(z_->error);
    z_->tasks.push_back(std::move(task));
    z_->changed.notify_all();
}

void ZipWriter::BeginMember(std::string name, bool large) {
    Queue([this, name = std::move(name), large]() mutable { Begin(std::move(name), large); });
}

void ZipWriter::Write(std::string_view data) {
    Queue([this, block = std::string(data)] { Take(block); });
}

void ZipWriter::EndMember() {
    Queue([this] { End(); });
}

void ZipWriter::Finish() {
    Queue([this] { WriteDirectory(); });
    std::unique_lock<std::mutex> hold(z_->lock);
    z_->changed.wait(hold, [&] { return z_->error || (z_->tasks.empty() && !z_->busy); });
    if (z_->error) std::rethrow_exception(z_->error);
}

void ZipWriter::Begin(std::string name, bool large) {
    if (open_) End();
    Member m;
    m.name = std::move(name);
    m.offset = file_.Size();
    m.large = large;
    // Checksum and sizes are filled in once the data is written (End). A member that may pass
    // 4 GB carries the ZIP64 field for them from the start, its 32-bit sizes pointing there.
    std::string h;
    Put32(h, 0x04034b50);
    Put16(h, large ? 45 : 20);
    Put16(h, 0);
    Put16(h, 8);
    Put16(h, dosTime_);
    Put16(h, dosDate_);
    Put32(h, 0);
    Put32(h, large ? k32 : 0);
    Put32(h, large ? k32 : 0);
    Put16(h, static_cast<uint32_t>(m.name.size()));
    Put16(h, large ? 20 : 0);
    h += m.name;
    if (large) {
        Put16(h, 1);
        Put16(h, 16);
        Put64(h, 0);
        Put64(h, 0);
    }
    file_.Write(h.data(), h.size());
    members_.push_back(std::move(m));
    deflateReset(&z_->z);
    open_ = true;
}

void ZipWriter::Deflate(std::string_view data, int flush) {
    z_stream& z = z_->z;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    Member& m = members_.back();
    for (;;) {
        z.next_out = reinterpret_cast<Bytef*>(out_.data());
        z.avail_out = static_cast<uInt>(out_.size());
        const int result = deflate(&z, flush);
        if (result == Z_STREAM_ERROR) throw std::runtime_error("zlib nu poate comprima.");
        const size_t made = out_.size() - z.avail_out;
        if (made > 0) file_.Write(out_.data(), made);
        m.packed += made;
        if (flush == Z_FINISH ? result == Z_STREAM_END : z.avail_out != 0) break;
    }
}

void ZipWriter::Take(std::string_view data) {
    Member& m = members_.back();
    // zlib counts in 32 bits: a larger block goes in pieces.
    while (!data.empty()) {
        const std::string_view part = data.substr(0, size_t{1} << 30);
        m.crc = static_cast<uint32_t>(crc32(m.crc, reinterpret_cast<const Bytef*>(part.data()),
                                            static_cast<uInt>(part.size())));
        m.size += part.size();
        Deflate(part, Z_NO_FLUSH);
        data.remove_prefix(part.size());
    }
}

void ZipWriter::End() {
    Deflate({}, Z_FINISH);
    open_ = false;
    const Member& m = members_.back();
    if (!m.large && (m.packed >= k32 || m.size >= k32))
        throw std::runtime_error("Partea " + m.name + " a fisierului ZIP trece de 4 GB.");
    std::string fields;
    Put32(fields, m.crc);
    if (m.large) {
        file_.WriteAt(m.offset + 14, fields.data(), fields.size());
        std::string sizes;
        Put64(sizes, m.size);
        Put64(sizes, m.packed);
        file_.WriteAt(m.offset + 30 + m.name.size() + 4, sizes.data(), sizes.size());
    } else {
        Put32(fields, m.packed);
        Put32(fields, m.size);
        file_.WriteAt(m.offset + 14, fields.data(), fields.size());
    }
}

void ZipWriter::WriteDirectory() {
    if (open_) End();
    const uint64_t start = file_.Size();
    std::string c;
    for (const Member& m : members_) {
        std::string extra;  // ZIP64: the values too large for their 32-bit fields, in this order
        if (m.size >= k32) Put64(extra, m.size);
        if (m.packed >= k32) Put64(extra, m.packed);
        if (m.offset >= k32) Put64(extra, m.offset);
        if (!extra.empty()) {
            std::string field;
            Put16(field, 1);
            Put16(field, static_cast<uint32_t>(extra.size()));
            extra = field + extra;
        }
        Put32(c, 0x02014b50);
        Put16(c, 45);
        Put16(c, extra.empty() && !m.large ? 20 : 45);
        Put16(c, 0);
        Put16(c, 8);
        Put16(c, dosTime_);
        Put16(c, dosDate_);
        Put32(c, m.crc);
        Put32(c, Cap32(m.packed));
        Put32(c, Cap32(m.size));
        Put16(c, static_cast<uint32_t>(m.name.size()));
        Put16(c, static_cast<uint32_t>(extra.size()));
        Put16(c, 0);  // comment
        Put16(c, 0);  // disk
        Put16(c, 0);  // internal attributes
        Put32(c, 0);  // external attributes
        Put32(c, Cap32(m.offset));
        c += m.name;
        c += extra;
    }
    const uint64_t size = c.size();
    const uint64_t end = start + size;
    const uint64_t count = members_.size();
    if (start >= k32 || size >= k32 || count >= 0xFFFF) {
        Put32(c, 0x06064b50);  // ZIP64 end of central directory
        Put64(c, 44);
        Put16(c, 45);
        Put16(c, 45);
        Put32(c, 0);
        Put32(c, 0);
        Put64(c, count);
        Put64(c, count);
        Put64(c, size);
        Put64(c, start);
        Put32(c, 0x07064b50);  // its locator
        Put32(c, 0);
        Put64(c, end);
        Put32(c, 1);
    }
    Put32(c, 0x06054b50);
    Put16(c, 0);
    Put16(c, 0);
    Put16(c, static_cast<uint32_t>(count >= 0xFFFF ? 0xFFFF : count));
    Put16(c, static_cast<uint32_t>(count >= 0xFFFF ? 0xFFFF : count));
    Put32(c, Cap32(size));
    Put32(c, Cap32(start));
    Put16(c, 0);
    file_.Write(c.data(), c.size());
}

}  // namespace orbelan

#endif
