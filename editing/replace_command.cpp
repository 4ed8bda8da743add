#include "editing/replace_command.h"

#include <algorithm>
#include <string_view>

#include "core/argument_error.h"
#include "core/command_guard.h"
#include "core/misfits.h"
#include "core/replace_table.h"
#include "core/text_util.h"
#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"
#include "engine/errors.h"
#include "engine/latin_letters.h"
#include "engine/utf8.h"

namespace orbelan {
namespace {

constexpr const char* kTitle = "Cauta si inlocuieste";
constexpr size_t kListedRows = 20;  // a longer list of refused values ends with their count

// A text as small letters (ș ț as ş ţ), with the byte offset where each character starts (and its
// end).
struct FoldedText {
    std::u32string chars;
    std::vector<size_t> at;
};

FoldedText Fold(std::string_view s) {
    FoldedText f;
    f.chars.reserve(s.size());
    f.at.reserve(s.size() + 1);
    for (size_t i = 0; i < s.size();) {
        f.at.push_back(i);
        const long cp = utf8::NextCodePoint(s, i);
        f.chars.push_back(cp < 0 ? U'\uFFFD' : latin::Folded(static_cast<char32_t>(cp)));
    }
    f.at.push_back(s.size());
    return f;
}

bool IsTextField(const FieldDef& f) {
    return f.type == 'C' || f.type == 'V' || f.type == 'M';
}

std::vector<int> FieldsOf(const Table& table, const ReplaceRequest& request) {
    std::vector<int> fields;
    if (request.column.empty()) {
        for (int i = 0; i < table.FieldCount(); ++i)
            if (IsTextField(table.Field(i))) fields.push_back(i);
        return fields;
    }
    const int field = table.FieldIndex(request.column);
    if (field < 0) throw ArgumentError("Coloana " + request.column + " nu exista.");
    if (!IsTextField(table.Field(field)))
        throw ArgumentError("Coloana " + table.Field(field).name + " nu contine text.");
    return {field};
}

// Why the value can't go into the field; empty when it can.
std::string Problem(const DbfFile& file, const FieldDef& field, const std::string& value) {
    // Plain ASCII is one byte a character in every page we write: no copy to measure it.
    const bool ascii = std::all_of(value.begin(), value.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii && file.Page().AsciiIdentity())
        return field.type != 'M' && value.size() > static_cast<size_t>(field.size)
                   ? "nu incape in " + std::to_string(field.size) + " caractere"
                   : std::string();
    std::string bytes;
    try {
        bytes = file.Page().Encode(value);
    } catch (const DbfError& e) {
        return e.what();
    }
    if (field.type != 'M' && bytes.size() > static_cast<size_t>(field.size))
        return "nu incape in " + std::to_string(field.size) + " caractere";
    return {};
}

std::string RefusedList(const std::vector<ReplaceChange>& refused, const Table& table) {
    Misfits list;
    for (const ReplaceChange& c : refused)
        list.Add({c.row, table.Field(c.field).name, c.after, c.problem});
    return list.Text(kListedRows);
}

}  // namespace

std::optional<std::string> ReplacedText(const std::string& text, const ReplaceRequest& request) {
    const std::string& find = request.find;
    if (request.matchCase) {
        if (request.wholeValue)
            return text == find ? std::optional<std::string>(request.replacement) : std::nullopt;
        size_t at = text.find(find);
        if (at == std::string::npos) return std::nullopt;
        std::string out;
        size_t from = 0;
        for (; at != std::string::npos; at = text.find(find, from)) {
            out.append(text, from, at - from);
            out += request.replacement;
            from = at + find.size();
        }
        out.append(text, from, std::string::npos);
        return out;
    }
    const FoldedText needle = Fold(find);
    const FoldedText hay = Fold(text);
    if (request.wholeValue)
        return hay.chars == needle.chars ? std::optional<std::string>(request.replacement)
                                         : std::nullopt;
    size_t at = hay.chars.find(needle.chars);
    if (at == std::u32string::npos) return std::nullopt;
    std::string out;
    size_t from = 0;  // in characters
    for (; at != std::u32string::npos; at = hay.chars.find(needle.chars, from)) {
        out.append(text, hay.at[from], hay.at[at] - hay.at[from]);
        out += request.replacement;
        from = at + needle.chars.size();
    }
    out.append(text, hay.at[from], std::string::npos);
    return out;
}

namespace {

std::vector<ReplaceChange> Collect(Workspace& ws, const ReplaceRequest& request, bool keepBefore) {
    Table& table = ws.table;
    if (!table.Active()) return {};
    if (request.find.empty()) throw ArgumentError("Textul de cautat lipseste.");
    ws.PostPendingEdit();
    const std::vector<int> fields = FieldsOf(table, request);
    const DbfFile& file = table.Data();
    const FormatSettings& format = table.Format();
    std::vector<ReplaceChange> changes;
    std::string text;
    const int rows = table.RecordCount();
    for (int row = 0; row < rows; ++row) {
        const uint8_t* rec = table.RecordAt(row);
        if (rec == nullptr) break;
        for (const int field : fields) {
            text.clear();
            file.AppendText(text, rec, field, format);
            auto after = ReplacedText(text, request);
            if (!after || *after == text) continue;
            ReplaceChange c;
            c.row = row + 1;
            c.record = static_cast<uint32_t>(table.RecordNumberAt(row));
            c.field = field;
            c.problem = Problem(file, table.Field(field), *after);
            if (keepBefore) c.before = text;
            c.after = std::move(*after);
            changes.push_back(std::move(c));
        }
        if (row % 4096 == 0) ws.progress.ProcessMessages();
    }
    return changes;
}

}  // namespace

std::vector<ReplaceChange> FindReplacements(Workspace& ws, const ReplaceRequest& request) {
    return Collect(ws, request, true);
}

ReplaceResult ReplaceAll(Workspace& ws, const ReplaceRequest& request) {
    Table& table = ws.table;
    ReplaceResult result;
    if (!table.Active()) return result;
    std::vector<ReplaceChange> changes = Collect(ws, request, false);
    std::vector<ReplaceChange> refused;
    std::erase_if(changes, [&](ReplaceChange& c) {
        if (c.problem.empty()) return false;
        refused.push_back(std::move(c));
        return true;
    });
    if (!refused.empty()) {
        const std::string list = "Valorile noi nu pot fi scrise la " +
                                 GroupedThousands(static_cast<long long>(refused.size())) +
                                 " valori:\n" + RefusedList(refused, table);
        if (!request.askToSkipTooLong) {
            ws.messages.Mesaj(kTitle, list + "Nu s-a inlocuit nimic.", mkError, mbOK);
            result.stopped = true;
            return result;
        }
        if (ws.messages.Mesaj(kTitle, list + "Le sariti si inlocuiti restul?", mkConfirmation,
                              mbYesNo) != mrYes) {
            result.stopped = true;
            return result;
        }
    }
    if (changes.empty()) {
        ws.messages.Mesaj(kTitle, "Nu este nicio valoare de inlocuit.", mkInformation, mbOK);
        return result;
    }
    const bool one = changes.size() == 1;
    const std::string count = GroupedThousands(static_cast<long long>(changes.size()));
    if (ws.messages.Mesaj(
            kTitle,
            (one ? "Se inlocuieste o valoare" : "Se inlocuiesc " + count + " valori") +
                ". Continuati?",
            mkConfirmation, mbYesNo) != mrYes)
        return result;

    // Each changed record's first change; a record's changes follow one another.
    std::vector<int> first(table.Header().recordCount, -1);
    for (size_t k = changes.size(); k-- > 0;) first[changes[k].record] = static_cast<int>(k);
    GuardOptions options;
    options.disableWindow = true;
    options.busyCursor = true;
    options.name = kTitle;
    CommandGuard guard(ws, options);
    const Bookmark start = table.GetBookmark();
    const FormatSettings format = ws.Format();
    ReplaceTable(ws, {}, [&](const DbfFile&, uint32_t record, DbfWriter& w) {
        if (record >= first.size() || first[record] < 0) return;
        for (size_t k = static_cast<size_t>(first[record]);
             k < changes.size() && changes[k].record == record; ++k)
            w.SetText(changes[k].field, changes[k].after, format);
        ws.progress.ProcessMessages();
    });
    guard.Finish();
    table.GotoBookmark(start);
    result.replaced = static_cast<int>(changes.size());
    ws.messages.Mesaj(kTitle, one ? "1 valoare inlocuita." : count + " valori inlocuite.",
                      mkInformation, mbOK);
    return result;
}

}  // namespace orbelan
