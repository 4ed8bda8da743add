// Maintenance: rewriting the file (pack, the commands' rewrites) and flushing it.
#include "engine/table.h"

#include "engine/dbf_writer.h"
#include "engine/rewrite.h"
#include "engine/table_impl.h"

namespace orbelan {

using table_detail::RequireActive;
using table_detail::RequireBrowse;

void Table::Pack() {
    RequireActive(*this);
    RequireBrowse(d_->state);
    d_->RequireWritable();
    const DbfFile& file = *d_->file;
    bool anyDeleted = false;
    for (uint32_t i = 0; i < file.RecordCount() && !anyDeleted; ++i) anyDeleted = file.IsDeleted(i);
    if (!anyDeleted) return;
    RewritePlan plan;
    plan.fill = [](const DbfFile& old, DbfWriter& out) {
        for (uint32_t i = 0; i < old.RecordCount(); ++i)
            if (!old.IsDeleted(i)) out.AddRecord(old.Record(i));
    };
    Rewrite(plan);
}

void Table::Rewrite(const RewritePlan& plan) {
    RequireActive(*this);
    Impl& d = *d_;
    RequireBrowse(d.state);
    d.RequireWritable();
    d.file->FlushAppends();
    const DbfOpenOptions options = OpenOptionsFor(d.file->Path());
    // On failure the old file is untouched and stays open.
    d.file = RewriteFile(*d.file, plan, options);
    d.file->MarkOpen();
    d.blank.clear();
    d.customOrder = false;
    d.order.clear();
    d.filter.reset();
    if (d.filtered && !d.filterText.empty()) {
        try {
            d.filter = d.CompileFilter();
        } catch (const DbfError&) {
            d.filtered = false;  // a filter that no longer fits the new structure is dropped
        }
    }
    d.PrepareSeek();
    d.RestartAtFirstRow();
}

void Table::Flush() {
    if (Active()) d_->file->Flush();
}

}  // namespace orbelan
