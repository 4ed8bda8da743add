#include "core/open_table.h"

#include <filesystem>
#include <fstream>

namespace orbelan {

void DetachIndex(const std::string& file) {
    {
        std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
        if (!f) return;
        f.seekp(28);
        f.put('\0');
        f.flush();
        if (!f) throw DbfError(ErrorKind::Io, "Nu pot scrie in fisierul " + file + ".");
    }
    // The index files are named after the table without its extension.
    std::filesystem::path base(file);
    base.replace_extension();
    for (const char* ext : {".mdx", ".cdx", ".MDX", ".CDX"}) {
        std::filesystem::path index = base;
        index += ext;
        std::error_code ec;
        std::filesystem::remove(index, ec);
    }
}

void OpenWithIndexRepair(Table& table) {
    try {
        table.Open();
        return;
    } catch (const DbfError& e) {
        if (e.Kind() != ErrorKind::MissingIndex) throw;
    }
    DetachIndex(table.TableName());
    table.Open();
}

std::string FileNamePart(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace orbelan
