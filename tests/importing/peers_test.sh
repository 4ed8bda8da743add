#!/usr/bin/env bash
# The same rows written as .xlsx/.xls/.csv by LibreOffice and by SheetJS import to the same
# table, and dbfread reads every value back. Usage: peers_test.sh ORBELAN NODE_MODULES_DIR
set -euo pipefail
orbelan=$1
modules=$2
for tool in soffice node /usr/bin/python3; do
    command -v "$tool" >/dev/null || { echo "missing $tool (tools/setup.sh installs it)"; exit 1; }
done
[ -d "$modules/xlsx" ] || { echo "missing SheetJS in $modules (tools/setup.sh installs it)"; exit 1; }
/usr/bin/python3 -c "import dbfread" || exit 1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# SheetJS: text, numbers and dates as typed cells. (Its .xls of a few rows keeps the workbook in
# the compound file's mini stream, which freexl does not read: not among the peers here.)
NODE_PATH=$modules node -e '
const X = require("xlsx");
const rows = [["Nume", "Cod", "Suma", "Data"],
              ["Ştefan Ţăranu", "012345", 12.5, new Date(Date.UTC(1985, 1, 1))],
              ["Ana", "400001", -1234.25, new Date(Date.UTC(2020, 11, 31))]];
const ws = X.utils.aoa_to_sheet(rows, {cellDates: true, dateNF: "yyyy-mm-dd"});
const wb = X.utils.book_new();
X.utils.book_append_sheet(wb, ws, "Lista");
X.writeFile(wb, "sheetjs.xlsx");
require("fs").writeFileSync("sheetjs.csv", X.utils.sheet_to_csv(ws, {dateNF: "yyyy-mm-dd"}));
'
# LibreOffice: the same rows read from that workbook and written by it as .xlsx, .xls and CSV
# (dates as shown: yyyy-mm-dd).
mkdir lo
lo() { soffice -env:UserInstallation=file://$work/profile --headless --convert-to "$1" --outdir lo sheetjs.xlsx >/dev/null 2>&1; }
lo xlsx
lo xls
lo "csv:Text - txt - csv (StarCalc):44,34,76"
for ext in xlsx xls csv; do mv lo/sheetjs.$ext libreoffice.$ext; done

expected='NUME C(13); COD C(6); SUMA N(8,2); DATA D'
status=0
for f in sheetjs.xlsx sheetjs.csv libreoffice.xlsx libreoffice.xls libreoffice.csv; do
    fields=$("$orbelan" import "$f" -o "${f%.*}_${f##*.}.dbf" --dry-run | sed -n 's/^Campuri: //p')
    if [ "$fields" != "$expected" ]; then
        echo "$f: $fields"
        status=1
        continue
    fi
    "$orbelan" import "$f" -o "${f%.*}_${f##*.}.dbf" >/dev/null
done
# A sheet it doesn't have is named, with the ones it has.
if "$orbelan" import sheetjs.xlsx -o none.dbf --sheet 2 2>err.txt || ! grep -q "nu are foaia 2 (foile: Lista)" err.txt; then
    cat err.txt
    status=1
fi
[ -e none.dbf ] && status=1
"$orbelan" import libreoffice.xlsx -o sheet.dbf --sheet Lista --dry-run >/dev/null || status=1
[ $status -eq 0 ] || exit 1
/usr/bin/python3 - <<'PY'
import glob, sys, datetime
from dbfread import DBF
want = [{'NUME': 'Ştefan Ţăranu', 'COD': '012345', 'SUMA': 12.5, 'DATA': datetime.date(1985, 2, 1)},
        {'NUME': 'Ana', 'COD': '400001', 'SUMA': -1234.25, 'DATA': datetime.date(2020, 12, 31)}]
bad = 0
for path in sorted(glob.glob('*.dbf')):
    got = [dict(r) for r in DBF(path, encoding='cp1250')]
    if got != want:
        print(path, got)
        bad = 1
print('%d passed, %d failed' % (len(glob.glob('*.dbf')) - bad, bad))
sys.exit(bad)
PY
