#include "editing/structure_commands.h"

#include <charconv>
#include <cstring>

#include "core/argument_error.h"
#include "core/command_guard.h"
#include "core/messages.h"
#include "core/text_util.h"
#include "core/workspace.h"
#include "engine/codepage.h"
#include "engine/dbf_file.h"
#include "engine/dbf_writer.h"
#include "engine/errors.h"
#include "engine/field_list.h"
#include "engine/file_io.h"
#include "engine/table.h"
#include "engine/value_convert.h"

namespace orbelan {
namespace {

constexpr const char* kTitle = "Structura tabelului";

// A field converted from an old one: its values go through their text forms, but for a field
// only made wider, whose stored bytes are the value as they are.
struct Conversion {
    int from;  // old field
    int to;    // new field
    enum class Kind { Text, WiderLeft, WiderRight } kind = Kind::Text;
};

Conversion::Kind KindOf(const FieldDef& from, const FieldDef& to) {
    // Null values and varchar lengths live outside the field's bytes.
    if (to.size < from.size || (from.flags & 0x02) || (to.flags & 0x02))
        return Conversion::Kind::Text;
    if (from.type == 'C' && to.type == 'C') return Conversion::Kind::WiderLeft;
    const bool numbers =
        (from.type == 'N' || from.type == 'F') && (to.type == 'N' || to.type == 'F');
    if (numbers && from.decimals == to.decimals) return Conversion::Kind::WiderRight;
    return Conversion::Kind::Text;
}

// What neither the structure window nor a field text says of a field: Visual FoxPro's
// autoincrement counter and step, its binary and system marks. A kept field of the same type
// keeps them; whether it takes nulls is the caller's to say.
NewStructure KeepingHiddenProperties(const std::vector<FieldDef>& old, NewStructure s) {
    for (size_t i = 0; i < s.fields.size() && i < s.sources.size(); ++i) {
        const int source = s.sources[i];
        if (source < 0 || static_cast<size_t>(source) >= old.size()) continue;
        FieldDef& f = s.fields[i];
        const FieldDef& was = old[static_cast<size_t>(source)];
        if (f.type != was.type) continue;
        f.flags = static_cast<uint8_t>((was.flags & ~0x02) | (f.flags & 0x02));
        f.autoNext = was.autoNext;
        f.autoStep = was.autoStep;
    }
    return s;
}

bool SameShape(const FieldDef& a, const FieldDef& b) {
    return a.type == b.type && a.size == b.size && a.decimals == b.decimals;
}

// The fields whose values can't be copied as they are.
std::vector<Conversion> ConversionsOf(const std::vector<FieldDef>& old,
                                      const NewStructure& structure) {
    std::vector<Conversion> out;
    for (size_t i = 0; i < structure.fields.size(); ++i) {
        const int from = structure.sources[i];
        const FieldDef& was = old[static_cast<size_t>(from < 0 ? 0 : from)];
        if (from >= 0 && !SameShape(was, structure.fields[i]))
            out.push_back({from, static_cast<int>(i), KindOf(was, structure.fields[i])});
    }
    return out;
}

int PositionArg(const std::string& text, size_t count) {
    int n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || n < 1 ||
        static_cast<size_t>(n) > count)
        throw ArgumentError("Pozitia " + text + " nu exista: campurile sunt de la 1 la " +
                            std::to_string(count) + ".");
    return n - 1;
}

std::pair<std::string, std::string> Pair(const std::string& text, const char* what) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == text.size())
        throw ArgumentError(std::string(what) + " se scrie NUME=" +
                            (std::string(what) == "--move" ? "POZITIE" : "NUMENOU") + ", nu " +
                            text + ".");
    return {text.substr(0, eq), text.substr(eq + 1)};
}

}  // namespace

void CreateTable(const NewTableDefinition& table) {
    if (FieldProblem p = CheckFieldList(table.fields, table.family)) throw ArgumentError(p.text);
    try {
        CodePage::Get(table.codePage);
    } catch (const DbfError&) {
        throw ArgumentError("Pagina de cod " + table.codePage + " nu este cunoscuta.");
    }
    if (FileExists(table.path))
        throw ArgumentError("Fisierul " + table.path + " exista deja; alegeti alt nume.");
    DbfWriter::Definition def;
    def.version = NewTableVersionOf(table.family);
    def.codePage = table.codePage;
    def.fields = table.fields;
    DbfWriter writer(table.path, def);
    // A memo file of the same name would be taken as this table's.
    if (!writer.MemoPath().empty() && FileExists(writer.MemoPath())) {
        writer.Abort();
        throw ArgumentError("Fisierul " + writer.MemoPath() + " exista deja; alegeti alt nume.");
    }
    writer.Commit();
}

void CheckNewStructure(const Table& table, const NewStructure& structure) {
    std::vector<const FieldDef*> originals;
    for (int source : structure.sources)
        originals.push_back(source >= 0 ? &table.Field(source) : nullptr);
    if (FieldProblem p =
            CheckChangedFieldList(structure.fields, originals, table.Data().Layout().family))
        throw ArgumentError(p.text);
}

Misfits CheckStructureFit(Workspace& ws, const NewStructure& structure) {
    Misfits check;
    check.keepAll = true;
    Table& table = ws.table;
    const DbfFile& file = table.Data();
    std::vector<Conversion> conversions = ConversionsOf(file.Fields(), structure);
    std::erase_if(conversions,
                  [](const Conversion& c) { return c.kind != Conversion::Kind::Text; });
    if (conversions.empty()) return check;
    const FormatSettings& format = ws.Format();
    const CodePage& page = file.Page();
    for (uint32_t r = 0; r < file.RecordCount(); ++r) {
        const uint8_t* record = file.Record(r);
        for (const Conversion& c : conversions) {
            const FieldDef& target = structure.fields[static_cast<size_t>(c.to)];
            const Converted v = ConvertField(file, record, c.from, target, page, format);
            if (v.Ok()) continue;
            check.Add({static_cast<long>(r) + 1, target.name, file.Text(record, c.from, format),
                       file.IsDeleted(r) ? v.reason + " (linie stearsa)" : v.reason});
        }
        if ((r & 0xFFFF) == 0) ws.progress.ProcessMessages();
    }
    return check;
}

std::string MisfitsText(const Misfits& check) {
    return check.Text() + std::to_string(check.count) +
           (check.count == 1 ? " valoare nu incape" : " valori nu incap") + " in noua structura.\n";
}

StructureChangeResult ChangeStructure(Workspace& ws, const NewStructure& changed,
                                      bool emptyMisfits) {
    StructureChangeResult result;
    Table& table = ws.table;
    if (!table.Active()) return result;
    ws.PostPendingEdit();
    const NewStructure structure = KeepingHiddenProperties(table.Data().Fields(), changed);
    CheckNewStructure(table, structure);
    const std::vector<FieldDef> old = table.Data().Fields();
    bool unchanged = structure.fields.size() == old.size();
    for (size_t i = 0; unchanged && i < old.size(); ++i)
        unchanged = structure.sources[i] == static_cast<int>(i) &&
                    structure.fields[i].name == old[i].name &&
                    SameShape(structure.fields[i], old[i]) &&
                    structure.fields[i].flags == old[i].flags;
    if (unchanged) return result;

    if (!emptyMisfits) {
        const Misfits check = CheckStructureFit(ws, structure);
        if (check.count > 0 &&
            ws.messages.Mesaj(
                kTitle, MisfitsText(check) + "Aplicati oricum? Valorile acestea vor ramane goale.",
                mkConfirmation, mbYesNo) != mrYes)
            return result;
    }

    // Converted fields are filled here; the others are copied as they are, memo blocks and all.
    const std::vector<Conversion> conversions = ConversionsOf(old, structure);
    NewStructure written = structure;
    for (const Conversion& c : conversions) written.sources[static_cast<size_t>(c.to)] = -1;
    for (FieldDef& f : written.fields) {
        f.offset = 0;
        if (f.type != 'I') f.autoStep = 0;
    }

    const int rows = static_cast<int>(table.Header().recordCount);
    CommandGuard guard(ws,
                       {.bar = rows, .disableWindow = true, .busyCursor = true, .name = kTitle});
    const FormatSettings format = ws.Format();
    size_t emptied = 0;
    ReplaceTable(ws, written, [&](const DbfFile& src, uint32_t record, DbfWriter& w) {
        const uint8_t* rec = src.Record(record);
        for (const Conversion& c : conversions) {
            if (c.kind != Conversion::Kind::Text) {
                // The same bytes in the same code page, padded where the field grew.
                const FieldDef& a = src.Fields()[static_cast<size_t>(c.from)];
                const FieldDef& b = w.Fields()[static_cast<size_t>(c.to)];
                const int pad = c.kind == Conversion::Kind::WiderRight ? b.size - a.size : 0;
                std::memcpy(w.Row() + b.offset + pad, rec + a.offset, static_cast<size_t>(a.size));
                continue;
            }
            const Converted v = ConvertField(
                src, rec, c.from, w.Fields()[static_cast<size_t>(c.to)], w.Page(), format);
            if (v.Ok())
                StoreConverted(w, c.to, v, format);
            else
                ++emptied;
        }
        if ((record & 0xFFF) == 0) {
            ws.progress.ProgressSet(static_cast<int>(record) + 1);
            ws.progress.ProcessMessages();
        }
    });
    guard.Finish();
    result.done = true;
    result.emptied = emptied;
    if (emptied > 0)
        ws.messages.Mesaj(kTitle,
                          std::to_string(emptied) +
                              (emptied == 1 ? " valoare a ramas goala" : " valori au ramas goale") +
                              ": nu incapeau in noua structura.",
                          mkInformation, mbOK);
    return result;
}

NewStructure EditedStructure(const Table& table, const std::vector<StructureEdit>& edits) {
    NewStructure s = KeptStructure(table);
    const DbfFamily family = table.Data().Layout().family;
    const auto find = [&](const std::string& name) {
        const int i = FindField(s.fields, name);
        if (i < 0) throw ArgumentError("Tabelul nu are campul " + name + ".");
        return static_cast<size_t>(i);
    };
    const auto fieldOf = [&](const std::string& text) {
        try {
            return ParseFieldText(text, family);
        } catch (const FieldListError& e) {
            throw ArgumentError(e.what());
        }
    };
    for (const StructureEdit& e : edits) {
        switch (e.kind) {
            case StructureEdit::Kind::Add:
                s.Add(fieldOf(e.argument), -1);
                break;
            case StructureEdit::Kind::Drop: {
                const size_t i = find(e.argument);
                s.fields.erase(s.fields.begin() + static_cast<std::ptrdiff_t>(i));
                s.sources.erase(s.sources.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
            case StructureEdit::Kind::Rename: {
                const auto [from, to] = Pair(e.argument, "--rename");
                s.fields[find(from)].name = to;
                break;
            }
            case StructureEdit::Kind::Set: {
                const FieldDef f = fieldOf(e.argument);
                FieldDef& target = s.fields[find(f.name)];
                const std::string name = target.name;
                target = f;
                target.name = name;
                break;
            }
            case StructureEdit::Kind::Move: {
                const auto [name, position] = Pair(e.argument, "--move");
                const size_t i = find(name);
                const size_t to = static_cast<size_t>(PositionArg(position, s.fields.size()));
                const FieldDef f = s.fields[i];
                const int source = s.sources[i];
                s.fields.erase(s.fields.begin() + static_cast<std::ptrdiff_t>(i));
                s.sources.erase(s.sources.begin() + static_cast<std::ptrdiff_t>(i));
                s.fields.insert(s.fields.begin() + static_cast<std::ptrdiff_t>(to), f);
                s.sources.insert(s.sources.begin() + static_cast<std::ptrdiff_t>(to), source);
                break;
            }
        }
    }
    return s;
}

}  // namespace orbelan
