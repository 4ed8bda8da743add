// The .xls (BIFF) reader. freexl reads the file in a process of its own (importing/xls_reader),
// because the library can crash or run away on a damaged file: there it takes only that process
// down, and here the file is reported as unreadable. It is a small executable of its own rather
// than a fork of this one: a forked copy of a threaded (Qt) program may do little but exec, and
// the helper starts fast, links only freexl and sets its own memory and time limits.
//
// The cells come back over a pipe in a compact stream (xls_stream.h), kept whole: a second pass
// reads them again without running freexl twice. Every record is checked as it is read.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/text_util.h"
#include "engine/date_util.h"
#include "engine/errors.h"
#include "importing/import_source.h"
#include "importing/xls_process.h"
#include "importing/xls_stream.h"

extern char** environ;

namespace orbelan {
namespace {

constexpr const char* kReaderName = "orbelan-xls-reader";

DbfError Unreadable(const std::string& path, const std::string& why) {
    return DbfError(ErrorKind::Malformed, "Fisierul " + path + " nu poate fi citit: " + why + ".");
}

std::string ReaderProgram() {
    if (!XlsReader().program.empty()) return XlsReader().program;
    std::vector<std::filesystem::path> candidates;
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        candidates.push_back(self.parent_path() / kReaderName);
        candidates.push_back(self.parent_path().parent_path() / "libexec" / "dbf-orbelan" /
                             kReaderName);
    }
#ifdef ORBELAN_XLS_READER_INSTALLED
    candidates.emplace_back(ORBELAN_XLS_READER_INSTALLED);
#endif
#ifdef ORBELAN_XLS_READER_BUILT
    candidates.emplace_back(ORBELAN_XLS_READER_BUILT);
#endif
    for (const auto& c : candidates)
        if (access(c.c_str(), X_OK) == 0) return c.string();
    return {};
}

// Closes a descriptor on every way out.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) close(fd);
    }
};

// The reader's whole output for sheet of path; throws "cannot be read" when it crashes, runs
// out of time or memory, or sends more than it may.
std::string RunReader(const std::string& path, const std::string& sheet) {
    const XlsReaderSettings& limits = XlsReader();
    const std::string program = ReaderProgram();
    if (program.empty())
        throw Unreadable(path, std::string("lipseste programul ") + kReaderName +
                                   ", care citeste fisierele .xls (reinstalati programul)");
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw Unreadable(path, "nu pot porni cititorul de .xls");
    Fd in{fds[0]};
    Fd out{fds[1]};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.fd, 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>(path.c_str()),
                            const_cast<char*>(sheet.c_str()), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw Unreadable(path, "nu pot porni cititorul de .xls " + program);
    close(out.fd);
    out.fd = -1;

    std::string data, stopped;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limits.seconds);
    char buf[1 << 16];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd p{in.fd, POLLIN, 0};
        const int ready =
            left > 0 ? poll(&p, 1, static_cast<int>(std::min<long long>(left, INT_MAX))) : 0;
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            stopped = "citirea a depasit " + std::to_string(limits.seconds) + " de secunde";
            break;
        }
        const ssize_t n = read(in.fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (data.size() + static_cast<size_t>(n) > limits.maxBytes) {
            stopped = "are mai multe date decat pot fi citite (peste " +
                      std::to_string(limits.maxBytes >> 20) + " MB)";
            break;
        }
        data.append(buf, static_cast<size_t>(n));
    }
    if (!stopped.empty()) kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!stopped.empty()) throw Unreadable(path, stopped);
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        throw Unreadable(path, sig == SIGXCPU ? "citirea a depasit timpul de calcul permis"
                                              : "cititorul de .xls s-a oprit (semnalul " +
                                                    std::to_string(sig) + ")");
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw Unreadable(path, "cititorul de .xls s-a oprit (codul " +
                                   std::to_string(WEXITSTATUS(status)) + ")");
    return data;
}

// "yyyy-mm-dd" or "yyyy-mm-dd hh:mm:ss", as freexl writes dates.
bool ParseFreexlDate(std::string_view s, int& day, int64_t& ms) {
    const auto number = [&](size_t from, size_t count, int& v) {
        if (from + count > s.size()) return false;
        const auto r = std::from_chars(s.data() + from, s.data() + from + count, v);
        return r.ec == std::errc() && r.ptr == s.data() + from + count && v >= 0;
    };
    int y = 0, m = 0, d = 0, hh = 0, mm = 0, ss = 0;
    if (s.size() != 10 && s.size() != 19) return false;
    if (!number(0, 4, y) || s[4] != '-' || !number(5, 2, m) || s[7] != '-' || !number(8, 2, d) ||
        !IsValidDate(y, m, d))
        return false;
    if (s.size() == 19 &&
        (s[10] != ' ' || !number(11, 2, hh) || s[13] != ':' || !number(14, 2, mm) || s[16] != ':' ||
         !number(17, 2, ss) || hh > 23 || mm > 59 || ss > 59))
        return false;
    day = DayNumber(y, m, d);
    ms = ((hh * 60 + mm) * 60 + ss) * 1000LL;
    return true;
}

class XlsSource : public ImportSource {
  public:
    XlsSource(const std::string& path, const SourceOptions& options)
        : path_(path), wanted_(options.sheet), data_(RunReader(path, options.sheet)) {
        kind = SourceKind::Xls;
        xls_stream::Reader r(data_);
        for (;;) {
            char tag = 0;
            if (!r.Byte(tag)) throw Broken();
            if (tag == 'N') {
                std::string_view name;
                if (!r.Text(name)) throw Broken();
                sheetNames.emplace_back(name);
            } else if (tag == 'F') {
                Failure(r);
            } else if (tag == 'X' || tag == 'S') {
                if (sheetNames.empty())
                    throw DbfError(ErrorKind::Malformed,
                                   "Registrul " + path + " nu are nicio foaie.");
                sheetIndex = ChooseSheet(sheetNames, options.sheet, path);
                uint32_t chosen = 0;
                if (tag == 'X' || !r.U32(chosen) || chosen != static_cast<uint32_t>(sheetIndex))
                    throw Broken();
                break;
            } else {
                throw Broken();
            }
        }
        first_ = r.Offset();
        Rewind();
    }

    void Rewind() override {
        at_ = first_;
        rowNumber_ = 0;
    }
    int RowNumber() const override { return rowNumber_; }

    bool Next(std::vector<Cell>& row) override {
        xls_stream::Reader r(data_);
        r.Seek(at_);
        char tag = 0;
        if (!r.Byte(tag)) throw Broken();
        if (tag == 'E') return false;
        if (tag == 'F') Failure(r);
        uint32_t index = 0, count = 0;
        if (tag != 'R' || !r.U32(index) || !r.U32(count) || count == 0 ||
            index < static_cast<uint32_t>(rowNumber_) || index >= INT_MAX)
            throw Broken();
        row.clear();
        int last = -1;
        for (uint32_t i = 0; i < count; ++i) {
            uint16_t column = 0;
            char type = 0;
            if (!r.U16(column) || column <= last || !r.Byte(type)) throw Broken();
            last = column;
            row.resize(static_cast<size_t>(column) + 1);
            Cell& cell = row.back();
            uint32_t whole = 0;
            double number = 0;
            std::string_view text;
            if (type == 'i' && r.U32(whole)) {
                cell = {CellKind::Number, std::to_string(static_cast<int32_t>(whole))};
            } else if (type == 'f' && r.Double(number)) {
                if (!std::isfinite(number))
                    throw BadCell(column, index, "are o valoare care nu este un numar");
                cell = {CellKind::Number, PlainNumberText(number)};
            } else if (type == 't' && r.Text(text)) {
                cell = {CellKind::Text, std::string(text)};
            } else if (type == 'd' && r.Text(text)) {
                if (!ParseFreexlDate(text, cell.day, cell.ms))
                    throw BadCell(column, index,
                                  "are data " + std::string(text) + ", care nu exista");
                cell.kind = CellKind::Date;
            } else {
                throw Broken();
            }
        }
        rowNumber_ = static_cast<int>(index) + 1;
        at_ = r.Offset();
        return true;
    }

  private:
    [[noreturn]] void Failure(xls_stream::Reader& r) const {
        char stage = 0;
        std::string_view where;
        if (!r.Byte(stage) || !r.Text(where)) throw Broken();
        if (stage == 's')
            throw DbfError(
                ErrorKind::Malformed,
                "Registrul " + path_ + " este deteriorat: foaia " +
                    sheetNames.at(static_cast<size_t>(ChooseSheet(sheetNames, wanted_, path_))) +
                    " nu poate fi citita.");
        if (stage == 'c') {
            unsigned row = 0, column = 0;
            const auto space = where.find(' ');
            if (space != std::string_view::npos) {
                std::from_chars(where.data(), where.data() + space, row);
                std::from_chars(where.data() + space + 1, where.data() + where.size(), column);
            }
            throw DbfError(ErrorKind::Malformed,
                           "Registrul " + path_ + " este deteriorat: celula " +
                               SheetColumnName(static_cast<int>(column & 0xFFFF)) +
                               std::to_string(row + 1) + " nu poate fi citita.");
        }
        throw DbfError(ErrorKind::Malformed,
                       "Fisierul " + path_ + " nu este un registru .xls citibil.");
    }

    DbfError Broken() const { return Unreadable(path_, "cititorul de .xls a trimis date gresite"); }

    DbfError BadCell(int column, uint32_t row, const std::string& why) const {
        return DbfError(ErrorKind::Malformed, "Celula " + SheetColumnName(column) +
                                                  std::to_string(row + 1) + " din foaia " +
                                                  sheetNames[static_cast<size_t>(sheetIndex)] +
                                                  " " + why + ".");
    }

    std::string path_;
    std::string wanted_;
    std::string data_;
    size_t first_ = 0;
    size_t at_ = 0;
    int rowNumber_ = 0;
};

}  // namespace

XlsReaderSettings& XlsReader() {
    static XlsReaderSettings settings;
    return settings;
}

std::unique_ptr<ImportSource> OpenXlsSource(const std::string& path, const SourceOptions& options) {
    return std::make_unique<XlsSource>(path, options);
}

}  // namespace orbelan
