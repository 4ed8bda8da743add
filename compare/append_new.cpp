#include "compare/append_new.h"

#include <chrono>
#include <cstdio>

#include "compare/compare_tables.h"
#include "core/platform.h"
#include "core/text_util.h"
#include "core/workspace.h"

namespace orbelan {

NewRows::~NewRows() {
    if (path.empty()) return;
    std::remove(path.c_str());
    if (csv) return;
    const std::string base = path.substr(0, path.size() - 4);
    for (const char* memo : {".dbt", ".fpt", ".cpg"}) std::remove((base + memo).c_str());
}

std::string NewRows::LeftOutText() const {
    std::string s;
    if (known > 0)
        s += "Linii cu chei care sunt deja in tabel (neadaugate): " +
             GroupedThousands(static_cast<long long>(known)) + ".";
    if (repeated > 0)
        s += std::string(s.empty() ? "" : "\r") + "Linii cu chei repetate (neadaugate): " +
             GroupedThousands(static_cast<long long>(repeated)) + ".";
    if (emptyKey > 0)
        s += std::string(s.empty() ? "" : "\r") + "Linii cu cheia goala (neadaugate): " +
             GroupedThousands(static_cast<long long>(emptyKey)) + ".";
    return s;
}

namespace {

std::unique_ptr<NewRows> Select(Workspace& ws, const std::string& source,
                                const std::string* keySpec, const std::vector<KeyColumn>& key,
                                const TextOptions& text, const SourceOptions& sheet) {
    ws.PostPendingEdit();
    Table& tx = ws.table;
    const auto here = OpenCompareSource(tx.TableName(), FileOptionsOf(tx), ws.Format());
    const auto there = OpenCompareSource(source, {}, ws.Format(), sheet);
    const CompareSpec request{keySpec ? ParseKeySpec(*keySpec, *here, *there) : key, text};
    const Matching m = MatchRows(*here, *there, request, [&] { ws.progress.ProcessMessages(); });
    auto out = std::make_unique<NewRows>();
    out->rows = m.onlyThere.size();
    out->known = m.matched.size();
    out->repeated = m.repeatedThere.size();
    out->emptyKey = m.emptyThere.size();
    if (out->rows == 0) return out;
    out->csv = there->Dbf() == nullptr;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::string path = ws.platform.TempFolder() + "orbelan-noi-" + std::to_string(stamp) +
                             (out->csv ? ".csv" : ".dbf");
    out->path = path;
    if (out->csv)
        there->WriteCsv(m.onlyThere, path);
    else
        there->WriteRows(m.onlyThere, path, tx.Data().Page().Name());
    return out;
}

}  // namespace

std::unique_ptr<NewRows> SelectNewRows(Workspace& ws, const std::string& source,
                                       const std::string& keySpec, const TextOptions& text,
                                       const SourceOptions& sheet) {
    return Select(ws, source, &keySpec, {}, text, sheet);
}

std::unique_ptr<NewRows> SelectNewRows(Workspace& ws, const std::string& source,
                                       const std::vector<KeyColumn>& key, const TextOptions& text,
                                       const SourceOptions& sheet) {
    return Select(ws, source, nullptr, key, text, sheet);
}

}  // namespace orbelan
