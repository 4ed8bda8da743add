#include "fuzz/targets.h"

#ifdef _WIN32
#include <filesystem>
#include <fstream>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <string>
#include <string_view>
#include <vector>

#include "engine/codepage.h"
#include "engine/filter.h"
#include "engine/table.h"

namespace orbelan::fuzz {

namespace {

void ReadWholeTable(const std::string& path) {
    Table t;
    t.SetTableName(path);
    try {
        t.Open();
        for (t.First(); !t.Eof(); t.Next())
            for (int f = 0; f < t.FieldCount(); ++f) (void)t.AsText(f);
        for (t.Last(); !t.Bof(); t.Prior()) (void)t.IsNull(0);
    } catch (const DbfError&) {
    }
}

}  // namespace

#ifdef _WIN32
// No in-memory files here (the fuzzers themselves run on Linux): a file in the temporary folder.
void DbfInput(const uint8_t* data, size_t size) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "orbelan-fuzz.dbf";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    ReadWholeTable(path.string());
    std::error_code ec;
    std::filesystem::remove(path, ec);
}
#else
void DbfInput(const uint8_t* data, size_t size) {
    // An anonymous in-memory file, opened by its /proc name like any table on disk.
    const int fd = ::memfd_create("fuzz.dbf", MFD_CLOEXEC);
    if (fd < 0) return;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    ReadWholeTable("/proc/self/fd/" + std::to_string(fd));
    ::close(fd);
}
#endif

namespace {

FieldDef Field(const char* name, char type, int size, int decimals, int offset) {
    FieldDef f;
    f.name = name;
    f.type = type;
    f.size = size;
    f.decimals = decimals;
    f.offset = offset;
    return f;
}

}  // namespace

void FilterInput(const uint8_t* data, size_t size) {
    static const std::vector<FieldDef> fields = {
        Field("NUME", 'C', 10, 0, 1), Field("SUMA", 'N', 8, 2, 11), Field("DATAN", 'D', 8, 0, 19),
        Field("ACTIV", 'L', 1, 0, 27)};
    // Records of 28 bytes: deletion flag, NUME, SUMA, DATAN, ACTIV.
    static const std::string rows[] = {
        std::string(" IONEL        12.5020000101T"),
        std::string(" POP          -1.00        F"),
        std::string("*\xC8TEFAN    ********19991231?"),
        std::string(28, ' '),
        std::string(28, '\0'),
    };
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const FormatSettings format;
    for (const bool sql : {false, true}) {
        try {
            const auto filter =
                FilterExpression::Compile(text, fields, *CodePage::Get("cp1250"), format, sql);
            for (const std::string& row : rows)
                (void)filter->Matches(reinterpret_cast<const uint8_t*>(row.data()));
        } catch (const DbfError&) {
        }
    }
}

}  // namespace orbelan::fuzz
