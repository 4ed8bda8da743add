#include "cli/structure_cli.h"

#include <ostream>

#include "cli/cli_app.h"
#include "cli/cli_context.h"
#include "editing/structure_commands.h"
#include "engine/field_list.h"

namespace orbelan {

int CreateCommand(CliContext& c) {
    ExpectArgs(c.options, 2);
    NewTableDefinition table;
    table.path = Arg(c.options, 0, "fisierul");
    const std::string& list = Arg(c.options, 1, "lista de campuri");
    // --format's default is the row printer's "table": here it means the first format.
    if (c.options.outputFormat != "table") {
        const auto family = ParseTableFormat(c.options.outputFormat);
        if (!family)
            throw UsageError("Formatul tabelului este dbase3, dbase4, foxpro sau vfp, nu " +
                             c.options.outputFormat + ".");
        table.family = *family;
    }
    if (!c.options.codePage.empty()) table.codePage = c.options.codePage;
    try {
        table.fields = ParseFieldList(list, table.family);
    } catch (const FieldListError& e) {
        throw UsageError(e.what());
    }
    CreateTable(table);
    return kExitDone;
}

int AlterCommand(CliContext& c) {
    ExpectArgs(c.options, 1);
    OpenFile(c, Arg(c.options, 0, "fisierul"));
    std::vector<StructureEdit> edits;
    for (const auto& [option, value] : c.options.structureEdits) {
        using K = StructureEdit::Kind;
        const K kind = option == "--add"      ? K::Add
                       : option == "--drop"   ? K::Drop
                       : option == "--rename" ? K::Rename
                       : option == "--set"    ? K::Set
                                              : K::Move;
        edits.push_back({kind, value});
    }
    if (edits.empty())
        throw UsageError("Spuneti ce se schimba: --add, --drop, --rename, --set, --move.");
    const NewStructure structure = EditedStructure(c.ws.table, edits);
    if (c.options.dryRun) {
        CheckNewStructure(c.ws.table, structure);
        const Misfits check = CheckStructureFit(c.ws, structure);
        c.out << MisfitsText(check);
        return check.count > 0 ? kExitFound : kExitDone;
    }
    ChangeStructure(c.ws, structure);
    return kExitDone;
}

}  // namespace orbelan
