#include "engine/errors.h"
#include "engine/index/index_file.h"

namespace orbelan::index_detail {
std::unique_ptr<IndexFile> MakeNtx() {
    throw DbfError(ErrorKind::CannotOpen, "NTX");
}
}  // namespace orbelan::index_detail
