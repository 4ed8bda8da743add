#include "core/open_table.h"

#include <filesystem>

#include "engine/utf8_path.h"

namespace orbelan {

namespace {

std::optional<ErrorKind> OpenFailure(Table& table) {
    try {
        table.Open();
        return std::nullopt;
    } catch (const DbfError& e) {
        return e.Kind();
    } catch (const std::exception&) {
        return ErrorKind::CannotOpen;
    }
}

}  // namespace

void OpenWithIndexRepair(Table& table, std::optional<ErrorKind>* failure) {
    if (failure) {
        *failure = OpenFailure(table);
        if (*failure == ErrorKind::MissingIndex) DetachIndex(table.TableName());
        if (*failure) *failure = OpenFailure(table);
        return;
    }
    try {
        table.Open();
        return;
    } catch (const DbfError& e) {
        if (e.Kind() != ErrorKind::MissingIndex) throw;
    }
    DetachIndex(table.TableName());
    table.Open();
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return !a.empty() && !b.empty() &&
           std::filesystem::equivalent(PathFromUtf8(a), PathFromUtf8(b), ec) && !ec;
}

std::string FileNamePart(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace orbelan
