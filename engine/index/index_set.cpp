#include "engine/index/index_set.h"

#include "engine/dbf_file.h"
#include "engine/errors.h"
#include "engine/file_io.h"

namespace orbelan {

namespace {
[[noreturn]] void NotYet() {
    throw DbfError(ErrorKind::State, "Indexurile nu pot fi inca folosite.");
}
}  // namespace

const char* IndexFormatName(IndexFormat format) {
    switch (format) {
        case IndexFormat::Cdx:
            return "CDX";
        case IndexFormat::IdxCompact:
            return "IDX";
        case IndexFormat::IdxStandard:
            return "IDX (standard)";
        case IndexFormat::Mdx:
            return "MDX";
        case IndexFormat::Ndx:
            return "NDX";
        case IndexFormat::Ntx:
            return "NTX";
    }
    return "?";
}

struct IndexSet::Impl {
    std::vector<IndexFileInfo> files;
};

IndexSet::IndexSet() : impl_(std::make_unique<Impl>()) {}
IndexSet::~IndexSet() = default;

std::string FindProductionIndex(const std::string&, const DbfLayout&) {
    NotYet();
}
std::string FindBesideTable(const std::string&, std::string_view) {
    NotYet();
}
IndexFormat IndexFormatOfFile(const std::string&) {
    NotYet();
}
std::string ProductionIndexPathFor(const std::string&, const DbfLayout&) {
    NotYet();
}
std::unique_ptr<IndexSet> IndexSet::Open(const DbfFile&, const std::vector<std::string>&) {
    NotYet();
}
std::unique_ptr<IndexSet> IndexSet::CreateProduction(const DbfFile&) {
    NotYet();
}
bool IndexSet::Empty() const {
    return impl_->files.empty();
}
const std::vector<IndexFileInfo>& IndexSet::Files() const {
    return impl_->files;
}
std::vector<std::string> IndexSet::Unkeepable() const {
    NotYet();
}
std::vector<IndexProblem> IndexSet::Check(const DbfFile&) const {
    NotYet();
}
std::vector<std::unique_ptr<TempFile>> IndexSet::WriteRebuilt(const DbfFile&) const {
    NotYet();
}
void IndexSet::AddTag(const DbfFile&, const NewIndexTag&, int) {
    NotYet();
}
void IndexSet::DropTag(const std::string&) {
    NotYet();
}
void IndexSet::UpdateRecord(const DbfFile&, uint32_t, const uint8_t*, const uint8_t*) {
    NotYet();
}
void IndexSet::AppendRecord(const DbfFile&, uint32_t, const uint8_t*) {
    NotYet();
}
void IndexSet::Flush() {
    NotYet();
}
std::optional<IndexSet::TagRef> IndexSet::FindTag(std::string_view) const {
    NotYet();
}
std::optional<IndexSet::TagRef> IndexSet::TagForField(std::string_view, bool*) const {
    NotYet();
}
void IndexSet::Walk(TagRef, const std::function<bool(uint32_t)>&) const {
    NotYet();
}
std::vector<uint32_t> IndexSet::Seek(TagRef, std::string_view, bool) const {
    NotYet();
}

}  // namespace orbelan
