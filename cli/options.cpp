#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace orbelan {

#ifdef ORBELAN_HAVE_WORKBOOK_IMPORT
#define IMPORT_SOURCES "CSV, .xlsx, .xls"
#else
#define IMPORT_SOURCES "CSV"
#endif

const char* const kUsage =
    "Folosire: orbelan COMANDA [ARGUMENTE] [OPTIUNI]\n"
    "Comenzi:\n"
    "  info FISIER                      antetul si campurile tabelului\n"
    "  show FISIER [--filter E] [--format table|csv|json] [--limit N] [--deleted]\n"
    "              [--order ETICHETA]   --deleted: si liniile sterse, marcate cu * in prima "
    "coloana;\n"
    "                                   --order: in ordinea unei etichete de index\n"
    "  sql \"INSTRUCTIUNE\" [--format ...] [--limit N]\n"
    "  sort FISIER COLOANA              rescrie fisierul in ordinea coloanei\n"
    "  check-cnp FISIER COLOANA [--filter E]\n"
    "  extract-year FISIER COLOANA [--filter E]\n"
    "  extract-date FISIER COLOANA [--filter E]\n"
    "  drop-column FISIER COLOANA       sterge coloana (intreaba)\n"
    "  split-name FISIER COLOANA [--filter E]\n"
    "  date-to-number FISIER COLOANA    coloana DATE devine numarul zilei\n"
    "  swap FISIER COL1 COL2 [--filter E]       (intreaba)\n"
    "  dedupe FISIER COLOANA [--filter E]       (intreaba)\n"
    "  delete-rows FISIER [--filter E]  liniile afisate; fara filtru toate (intreaba)\n"
    "  drop-index FISIER                sterge indexul si impacheteaza tabelul\n"
    "  index FISIER [--add ETICHETA \"EXPR\" [--for \"CONDITIE\"] [--unique] [--descending]]\n"
    "               [--drop ETICHETA] [--attach X.ntx]   indexurile tabelului\n"
    "  check-index FISIER               verifica indexul fata de tabel (iesire 1: nepotriviri)\n"
    "  reindex FISIER                   reface toate etichetele din tabel\n"
    "  letters FISIER MODEL.rtf -o IESIRE.rtf [--filter E] [--row N | --from-row N]\n"
    "                                   formulare: toate liniile afisate, numai linia N\n"
    "                                   sau de la linia N in jos (numarate de la 1)\n"
    "  template FISIER -o IESIRE.rtf    modelul de formular cu coloanele tabelului\n"
    "  export FISIER --format html|xls|xlsx|doc|txt|csv|tab|rtf|dif|slk|pdf -o IESIRE\n"
    "                [--filter E]\n"
    "  append FISIER SURSA              adauga liniile tabelului SURSA (DBF sau " IMPORT_SOURCES
    ")\n"
    "         [--key COL[=COLSURSA],... --only-new]  numai liniile cu o cheie noua\n"
    "  import SURSA -o NOU.dbf [--sheet N|NUME] [--delimiter C] [--encoding NUME]\n"
    "         [--types \"NUME=T(L,Z);...\"] [--format dbase3|dbase4|foxpro|vfp] [--dry-run]\n"
    "                                   tabel nou din " IMPORT_SOURCES
    "\n"
    "  csv FISIER -o IESIRE [--filter E] CSV-ul rapid al liniilor afisate\n"
    "  create FISIER \"NUME C(30); SUMA N(10,2); DATAN D; ACTIV L; OBS M\"\n"
    "                [--format dbase3|dbase4|foxpro|vfp] [--codepage NUME]   tabel nou, gol\n"
    "  alter FISIER [--add \"N T(L,Z)\"] [--drop N] [--rename A=B] [--set \"N T(L,Z)\"]\n"
    "               [--move N=POZITIE] [--dry-run]   schimba structura (intreaba)\n"
    "  recode FISIER --to COD [--from COD] [--dry-run]\n"
    "                                   converteste textul in alt cod de pagina (intreaba\n"
    "                                   cand unele caractere ar deveni \"?\")\n"
    "  export si csv: --encoding utf-8  text in UTF-8 in locul codului de 8 biti\n"
    "  set FISIER LINIE COLOANA VALOARE o valoare (si memo); VALOARE - se citeste de la intrare\n"
    "  get FISIER LINIE COLOANA         o valoare, intreaga\n"
    "  recall FISIER [--filter E]       recupereaza liniile sterse (toate fara filtru)\n"
    "  replace FISIER COLOANA|--all-columns CAUTAT INLOCUITOR [--filter E] [--whole]\n"
    "          [--match-case] [--dry-run]  cauta si inlocuieste (intreaba)\n"
    "  profile FISIER COLOANA [--filter E] [--format text|json] [--cnp]\n"
    "                                   profilul coloanei: goale, distincte, cele mai\n"
    "                                   frecvente valori, lungimi, numere, CNP-uri\n"
    "  count FISIER COL[,COL2] [--sum COL] [--order count|value] [--filter E]\n"
    "        [--format table|csv|json]  numara liniile pe valori\n"
    "  chart FISIER COLOANA --kind bars|histogram|pyramid|counties -o IESIRE.png|.pdf\n"
    "        [--filter E] [--cnp]       graficul profilului coloanei\n"
    "  compare FISIER ALT --key COL[=COLALT],... [--ignore-case] [--ignore-diacritics]\n"
    "          [--trim] [--show only-here|only-there|differ|same] [--format table|csv|json]\n"
    "          [-o IESIRE.dbf|.csv|.xlsx]  compara doua tabele dupa cheie (1: difera)\n"
    "  fill FISIER ALT --key ... --take COL[,COL2] [--when-empty|--always] [--dry-run]\n"
    "                                   completeaza coloane din alt tabel (intreaba)\n"
    "  undo FISIER | redo FISIER        anuleaza / reface ultima comanda care a rescris tabelul\n"
    "  history FISIER                   copiile de siguranta: ora, comanda, linii, marime\n"
    "  --help | --version\n"
    "Optiuni pentru toate comenzile (oriunde dupa comanda):\n"
    "  --codepage NUME                  codul de pagina (de ex. cp1250, cp852)\n"
    "  --decimal-separator C            separatorul zecimal (implicit .)\n"
    "  --date-format FORMAT             formatul datelor (implicit dd.MM.yyyy)\n"
    "  --yes                            raspunde DA la orice intrebare\n"
    "  --no-undo                        fara copie de siguranta (comanda nu poate fi anulata)\n"
    "Comenzile care sterg date intreaba inainte; fara terminal si fara --yes raspunsul este NU.\n"
    "Coduri de iesire: 0 gata, 1 gata dar cu probleme gasite, 2 folosire gresita sau refuz,\n"
    "3 fisierul nu poate fi citit, 4 comanda s-a oprit cu o eroare.\n";

const char* const kVersion = "orbelan " ORBELAN_VERSION "\n";

namespace {

const std::string& Value(const std::vector<std::string>& args, size_t& i) {
    if (i + 1 >= args.size()) throw UsageError("Optiunea " + args[i] + " cere o valoare.");
    return args[++i];
}

}  // namespace

CliOptions ParseCommandLine(const std::vector<std::string>& args) {
    CliOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--codepage") {
            o.codePage = Value(args, i);
        } else if (a == "--decimal-separator") {
            const std::string& v = Value(args, i);
            if (v.size() != 1) throw UsageError("Separatorul zecimal este un singur caracter.");
            o.format.decimalSeparator = v[0];
        } else if (a == "--date-format") {
            o.format.shortDateFormat = Value(args, i);
        } else if (a == "--filter") {
            o.filter = Value(args, i);
        } else if (a == "--format") {
            o.outputFormat = Value(args, i);
            static const char* const kFormats[] = {
                "table", "text", "csv", "json", "html", "xls",    "doc",    "txt",    "tab",
                "rtf",   "dif",  "slk", "xlsx", "pdf",  "dbase3", "dbase4", "foxpro", "vfp"};
            if (std::find(std::begin(kFormats), std::end(kFormats), o.outputFormat) ==
                std::end(kFormats))
                throw UsageError("Format necunoscut: " + o.outputFormat + ".");
        } else if (a == "-o") {
            o.output = Value(args, i);
        } else if (o.command == "index" && a == "--add") {
            const std::string tag = Value(args, i);
            o.tagsToAdd.emplace_back(tag, Value(args, i));
        } else if (o.command == "index" && a == "--drop") {
            o.dropTag = Value(args, i);
        } else if (a == "--attach") {
            o.attach = Value(args, i);
        } else if (a == "--for") {
            o.tagFor = Value(args, i);
        } else if (a == "--unique" || a == "--descending") {
            (a == "--unique" ? o.unique : o.descending) = true;
        } else if (a == "--add" || a == "--drop" || a == "--rename" || a == "--set" ||
                   a == "--move") {
            o.structureEdits.emplace_back(a, Value(args, i));
        } else if (a == "--dry-run") {
            o.dryRun = true;
        } else if (a == "--to" || a == "--from" || a == "--encoding") {
            (a == "--to" ? o.toPage : a == "--from" ? o.fromPage : o.encoding) = Value(args, i);
        } else if (a == "--sheet") {
            o.sheet = Value(args, i);
        } else if (a == "--delimiter") {
            const std::string& v = Value(args, i);
            if (v == "\\t" || v == "tab") {
                o.delimiter = '\t';
            } else if (v.size() == 1) {
                o.delimiter = v[0];
            } else {
                throw UsageError("Delimitatorul este un singur caracter (sau tab).");
            }
        } else if (a == "--types") {
            o.types = Value(args, i);
        } else if (a == "--sum") {
            o.sumColumn = Value(args, i);
        } else if (a == "--kind") {
            o.chartKind = Value(args, i);
        } else if (a == "--order") {
            o.order = Value(args, i);
        } else if (a == "--cnp") {
            o.cnp = true;
        } else if (a == "--key" || a == "--show" || a == "--take") {
            (a == "--key" ? o.key : a == "--show" ? o.show : o.take) = Value(args, i);
        } else if (a == "--ignore-case" || a == "--ignore-diacritics" || a == "--trim" ||
                   a == "--only-new") {
            (a == "--ignore-case"         ? o.ignoreCase
             : a == "--ignore-diacritics" ? o.ignoreDiacritics
             : a == "--trim"              ? o.trim
                                          : o.onlyNew) = true;
        } else if (a == "--when-empty" || a == "--always") {
            const std::string mode = a.substr(2);
            if (!o.fillMode.empty() && o.fillMode != mode)
                throw UsageError("--when-empty si --always nu pot fi folosite impreuna.");
            o.fillMode = mode;
        } else if (a == "--yes") {
            o.yes = true;
        } else if (a == "--deleted" || a == "--all-columns" || a == "--whole" ||
                   a == "--match-case") {
            (a == "--deleted"       ? o.deleted
             : a == "--all-columns" ? o.allColumns
             : a == "--whole"       ? o.whole
                                    : o.matchCase) = true;
        } else if (a == "--no-undo") {
            o.noUndo = true;
        } else if (a == "--limit") {
            const std::string& v = Value(args, i);
            const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), o.limit);
            if (ec != std::errc() || end != v.data() + v.size() || o.limit < 0)
                throw UsageError("Limita trebuie sa fie un numar natural: " + v + ".");
        } else if (a == "--row" || a == "--from-row") {
            const std::string& v = Value(args, i);
            long n = 0;
            const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
            if (ec != std::errc() || end != v.data() + v.size() || n < 1)
                throw UsageError("Linia trebuie sa fie un numar de la 1: " + v + ".");
            (a == "--row" ? o.row : o.fromRow) = n;
            if (o.row > 0 && o.fromRow > 0)
                throw UsageError("--row si --from-row nu pot fi folosite impreuna.");
        } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            throw UsageError("Optiune necunoscuta: " + a + ".");
        } else if (o.command.empty()) {
            o.command = a;
        } else {
            o.positional.push_back(a);
        }
    }
    if (o.command.empty()) throw UsageError("Lipseste comanda.");
    return o;
}

}  // namespace orbelan
