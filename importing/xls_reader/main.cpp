// orbelan-xls-reader PATH SHEET: reads one sheet of an .xls workbook through freexl and writes
// its cells on standard output (importing/xls_stream.h). It runs as its own process, under
// limits it sets itself, because freexl can crash or run away on a damaged file: then only
// this process dies, and the program reports the file as unreadable.
#include <freexl.h>
#include <sys/resource.h>

#include <cstdio>
#include <string>
#include <vector>

#include "importing/sheet_choice.h"
#include "importing/xls_stream.h"

#if defined(__SANITIZE_ADDRESS__)
#define ADDRESS_SANITIZED
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ADDRESS_SANITIZED
#endif
#endif

namespace {

using namespace orbelan::xls_stream;

#ifdef ADDRESS_SANITIZED
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

}  // namespace

// What freexl leaks on a damaged file dies with this process; reporting it would only turn a
// file read whole into a failure.
#ifdef ADDRESS_SANITIZED
extern "C" const char* __asan_default_options() {
    return "detect_leaks=0";
}
#endif

namespace {

constexpr rlim_t kMemoryBytes = rlim_t{2} << 30;
constexpr rlim_t kCpuSeconds = 60;

void Limit(int resource, rlim_t value) {
    const rlimit r{value, value};
    setrlimit(resource, &r);
}

// Closes the workbook on every way out.
struct Workbook {
    const void* handle = nullptr;
    ~Workbook() {
        if (handle != nullptr) freexl_close(handle);
    }
};

std::string out;

void Flush() {
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    out.clear();
}

int Fail(char stage, const std::string& why) {
    out += 'F';
    out += stage;
    PutText(out, why);
    out += 'E';
    Flush();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "folosire: orbelan-xls-reader FISIER.xls FOAIE\n");
        return 2;
    }
    if (!kSanitized) Limit(RLIMIT_AS, kMemoryBytes);  // the sanitizer reserves far more
    Limit(RLIMIT_CPU, kCpuSeconds);
    Limit(RLIMIT_FSIZE, 0);
    Limit(RLIMIT_CORE, 0);

    Workbook book;
    if (freexl_open(argv[1], &book.handle) != FREEXL_OK) return Fail('o', "");
    unsigned int count = 0;
    if (freexl_get_info(book.handle, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK)
        return Fail('o', "");
    std::vector<std::string> names;
    for (unsigned int i = 0; i < count && i < 65536; ++i) {
        const char* name = nullptr;
        if (freexl_get_worksheet_name(book.handle, static_cast<unsigned short>(i), &name) !=
                FREEXL_OK ||
            name == nullptr)
            names.push_back(std::to_string(i + 1));
        else
            names.push_back(name);
        out += 'N';
        PutText(out, names.back());
    }
    const int sheet = names.empty() ? -1 : orbelan::FindSheet(names, argv[2]);
    if (sheet < 0) {
        out += "XE";
        Flush();
        return 0;
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(book.handle, static_cast<unsigned short>(sheet)) !=
            FREEXL_OK ||
        freexl_worksheet_dimensions(book.handle, &rows, &columns) != FREEXL_OK)
        return Fail('s', "");
    out += 'S';
    PutU32(out, static_cast<uint32_t>(sheet));

    std::string cells;
    for (unsigned int r = 0; r < rows; ++r) {
        cells.clear();
        uint32_t present = 0;
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue v;
            if (freexl_get_cell_value(book.handle, r, c, &v) != FREEXL_OK)
                return Fail('c', std::to_string(r) + " " + std::to_string(c));
            const char* text = v.value.text_value;
            switch (v.type) {
                case FREEXL_CELL_INT:
                    PutU16(cells, c);
                    cells += 'i';
                    PutU32(cells, static_cast<uint32_t>(v.value.int_value));
                    break;
                case FREEXL_CELL_DOUBLE:
                    PutU16(cells, c);
                    cells += 'f';
                    PutDouble(cells, v.value.double_value);
                    break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                case FREEXL_CELL_TIME:
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                    if (text == nullptr || *text == '\0') continue;
                    PutU16(cells, c);
                    cells +=
                        v.type == FREEXL_CELL_DATE || v.type == FREEXL_CELL_DATETIME ? 'd' : 't';
                    PutText(cells, text);
                    break;
                default:
                    continue;
            }
            ++present;
        }
        if (present == 0) continue;
        out += 'R';
        PutU32(out, r);
        PutU32(out, present);
        out += cells;
        if (out.size() >= (1u << 16)) Flush();
    }
    out += 'E';
    Flush();
    return std::fflush(stdout) == 0 ? 0 : 1;
}
