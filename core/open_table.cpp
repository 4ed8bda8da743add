#include "core/open_table.h"

namespace orbelan {

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
