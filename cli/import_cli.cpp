#include "cli/import_cli.h"

#include <ostream>

#include "cli/cli_app.h"
#include "cli/cli_context.h"
#include "core/restore_points.h"
#include "engine/errors.h"
#include "engine/field_list.h"
#include "engine/file_io.h"
#include "importing/import_table.h"

namespace orbelan {
namespace {

SourceOptions SourceOptionsOf(const CliOptions& o) {
    return {o.sheet, o.delimiter, o.encoding};
}

// A source that can't be read whole is exit 3, with the place named.
template <typename Run>
auto Reading(const std::string& path, Run&& run) {
    try {
        return run();
    } catch (const DbfError& e) {
        if (e.Kind() == ErrorKind::CannotOpen || e.Kind() == ErrorKind::Malformed)
            throw Unreadable{"Fisierul ales, " + path + ", nu poate fi citit!\n" + e.what()};
        throw;
    }
}

// Values that don't fit: listed, then the question; without --yes (or a "da" typed on a
// terminal) the answer is NU and the command exits 2 with nothing written.
ConfirmMisfits AskMisfits(CliContext& c) {
    return [&c](const Misfits& m) {
        c.out << m.count << " valori nu incap in campurile lor:\n"
              << kImportNumbering << "\n" << m.Text();
        c.messages.guarded = true;
        return c.messages.Mesaj("Import", "Importati oricum, cu celulele acestea goale?",
                                mkConfirmation, mbYesNo) == mrYes;
    };
}

// " (2 octeti care nu sunt UTF-8, primul pe linia 7)" after the encoding of a CSV with some.
std::string DamagedText(const ImportSource& source) {
    if (source.damagedBytes == 0) return {};
    return " (" + std::to_string(source.damagedBytes) +
           (source.damagedBytes == 1 ? " octet care nu este" : " octeti care nu sunt") +
           " UTF-8, primul pe linia " + std::to_string(source.firstDamagedLine) + ")";
}

}  // namespace

bool IsImportSource(const std::string& path) {
    SourceKind kind;
    return SourceKindOf(path, kind);
}

int ImportCommand(CliContext& c) {
    ExpectArgs(c.options, 1);
    const std::string& path = Arg(c.options, 0, "sursa");
    if (c.options.output.empty()) throw UsageError("Lipseste -o NOU.dbf.");
    NewTableFormat format;
    if (c.options.outputFormat != "table") {
        const auto family = ParseTableFormat(c.options.outputFormat);
        if (!family) throw UsageError("Formatul tabelului este dbase3, dbase4, foxpro sau vfp.");
        format.family = *family;
    }
    if (!c.options.codePage.empty()) format.codePage = c.options.codePage;

    auto source = Reading(path, [&] { return OpenImportSource(path, SourceOptionsOf(c.options)); });
    ImportPreview preview = Reading(path, [&] { return PreviewSource(*source, 0); });
    ApplyTypes(preview.columns, c.options.types, format.family);
    std::vector<FieldDef> fields;
    for (const ColumnField& col : preview.columns) fields.push_back(col.field);

    if (c.options.dryRun) {
        if (source->kind == SourceKind::Csv)
            c.out << "Codificare: " << source->encoding << DamagedText(*source) << "; delimitator: "
                  << (source->delimiter == '\t' ? std::string("tab")
                                                : std::string(1, source->delimiter))
                  << '\n';
        else
            c.out << "Foaia: " << source->sheetNames[static_cast<size_t>(source->sheetIndex)]
                  << '\n';
        c.out << "Campuri: " << FormatFieldList(fields) << '\n';
        const ImportOutcome o = Reading(path, [&] {
            return ImportToNewTable(*source, preview.columns, c.options.output, format, {}, true);
        });
        c.out << "Linii: " << o.rows << '\n';
        if (o.misfits.count == 0) return kExitDone;
        c.out << o.misfits.count << " valori nu incap in campurile lor:\n"
              << kImportNumbering << "\n" << o.misfits.Text();
        return kExitFound;
    }

    if (!MayWriteNewTable(c.messages, c.options.output)) return kExitUsage;
    ImportOutcome o;
    ReplaceWithNewTable(c.ws, c.options.output, "Import", [&] {
        o = Reading(path, [&] {
            return ImportToNewTable(*source, preview.columns, c.options.output, format,
                                    AskMisfits(c));
        });
        return o.written;
    });
    if (!o.written) return kExitUsage;
    c.out << "Am importat " << o.rows << " linii in " << c.options.output << " ("
          << FormatFieldList(fields) << ").\n";
    if (o.misfits.count > 0) c.out << o.misfits.count << " valori au ramas goale.\n";
    return kExitDone;
}

int AppendImported(CliContext& c, const std::string& source) {
    const ImportOutcome o = Reading(source, [&] {
        return AppendFromSource(c.ws, source, SourceOptionsOf(c.options), AskMisfits(c));
    });
    if (o.nothingToAdd) return kExitDone;
    if (!o.written) return o.misfits.count > 0 ? kExitUsage : kExitEngine;
    c.out << "Am adaugat " << o.rows << " linii.\n";
    if (o.misfits.count > 0) c.out << o.misfits.count << " valori au ramas goale.\n";
    return kExitDone;
}

}  // namespace orbelan
