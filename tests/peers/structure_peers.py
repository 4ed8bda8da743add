"""Tables made by `orbelan create` and changed by `orbelan alter`, in each format and with memo
fields, read back by other programs: dbfread, the dbf module, GDAL's ogrinfo and LibreOffice.
Each must read the values `orbelan show` reads.

    structure_peers.py ORBELAN SOURCE.dbf WORKDIR
"""
import csv
import datetime
import json
import os
import re
import subprocess
import sys

import dbf
import dbfread

ORBELAN, SOURCE, WORK = sys.argv[1:4]
FORMATS = ["dbase3", "dbase4", "foxpro", "vfp"]
FIELDS = "NUME C(30); PRENUME C(20); CNP C(13); SUMA N(10,2); NR N(5); DATAN D; ACTIV L; OBS M"
# Wider, renamed, moved, text to memo, number to text, a memo added.
ALTER = ["--set", "NUME C(40)", "--rename", "PRENUME=PREN", "--set", "PREN M", "--set",
         "NR C(6)", "--add", "OBS2 M", "--move", "OBS=1", "--yes"]
# Visual FoxPro's binary types, written by conversion: read by the Python readers only.
ALTER_VFP = ["--set", "SUMA Y", "--set", "NR I", "--yes"]
BINARY = {"SUMA", "NR"}
failures = []


def run(*args):
    r = subprocess.run([ORBELAN, *args], capture_output=True, text=True)
    if r.returncode != 0:
        sys.exit(f"orbelan {' '.join(args)}: exit {r.returncode}\n{r.stdout}{r.stderr}")
    return r.stdout


def norm(value, kind):
    """A peer's value in the text form `orbelan show` gives it."""
    if value is None:
        return ""
    if kind == "L":
        text = str(value).strip().upper()
        return {"T": "True", "TRUE": "True", "Y": "True", "F": "False", "FALSE": "False",
                "N": "False"}.get(text, "")
    if kind == "D":
        if hasattr(value, "year"):
            return value.strftime("%d.%m.%Y")
        text = str(value).strip()
        for pattern in ("%Y/%m/%d", "%Y-%m-%d", "%m/%d/%y", "%d.%m.%Y"):
            try:
                return datetime.datetime.strptime(text, pattern).strftime("%d.%m.%Y")
            except ValueError:
                pass
        return text
    if kind == "N":
        text = str(value).strip()
        return repr(float(text)) if text else ""
    return str(value).rstrip(" ")


def spreadsheet(value, kind):
    """What a spreadsheet's CSV keeps of a value: two-digit years, line feeds alone in cells,
    and no empty logical (an empty one reads as false)."""
    if kind == "D" and value:
        return value[:6] + value[8:]
    if kind == "L" and not value:
        return "False"
    return value.replace("\r\n", "\n")


def compare(peer, name, expected, rows, kinds, skip=(), loose=None):
    if len(rows) != len(expected):
        failures.append(f"{peer} {name}: {len(rows)} rows, orbelan {len(expected)}")
        return
    for i, (want, got) in enumerate(zip(expected, rows)):
        for field, kind in kinds.items():
            if field in skip:
                continue
            w = norm(want[field], kind) if kind in "NDL" else want[field]
            g = norm(got.get(field), kind)
            if loose:
                w, g = loose(w, kind), loose(g, kind)
            if w != g:
                failures.append(f"{peer} {name} row {i + 1} {field}: {g!r}, orbelan {w!r}")


os.makedirs(WORK, exist_ok=True)
tables = {}
for fmt in FORMATS:
    path = os.path.join(WORK, fmt + ".dbf")
    for old in (path, path[:-3] + "dbt", path[:-3] + "fpt"):
        if os.path.exists(old):
            os.remove(old)
    run("create", path, FIELDS, "--format", fmt)
    run("append", path, SOURCE)
    run("alter", path, *ALTER)
    if fmt == "vfp":
        run("alter", path, *ALTER_VFP)
    expected = [json.loads(line) for line in run("show", path, "--format", "json").splitlines()]
    tables[fmt] = (path, expected)

for fmt, (path, expected) in tables.items():
    reader = dbfread.DBF(path, encoding="cp1250")
    kinds = {f.name: ("N" if f.type in "NFIYB" else f.type) for f in reader.fields}
    # dbfread reads a dBase IV memo 8 bytes too far: the block's length counts its header.
    nuls = (lambda v, kind: v.rstrip("\x00")) if fmt == "dbase4" else None
    compare("dbfread", fmt, expected, [dict(r) for r in reader], kinds, loose=nuls)

    if fmt != "dbase4":  # the dbf module does not open dBase IV tables with memo files
        table = dbf.Table(path, codepage="cp1250")
        table.open()
        rows = [{n.upper(): rec[n] for n in table.field_names} for rec in table
                if not dbf.is_deleted(rec)]
        table.close()
        compare("dbf", fmt, expected, rows, kinds)

    # GDAL reads no memo files: the other fields.
    out = subprocess.run(["ogrinfo", "-ro", "-al", "-q", path], capture_output=True,
                         text=True, check=True).stdout
    rows = []
    for line in out.splitlines():
        if line.startswith("OGRFeature"):
            rows.append({})
        elif rows and " = " in line and line.startswith("  "):
            head, value = line[2:].split(" = ", 1)
            rows[-1][head.split(" ")[0]] = None if value == "(null)" else value
    memos = [k for k, v in kinds.items() if v == "M"]
    compare("ogrinfo", fmt, expected, rows, kinds,
            skip=memos + (list(BINARY) if fmt == "vfp" else []))

# LibreOffice, once for every table (it starts slowly); it reads no Visual FoxPro memo.
lo = os.path.join(WORK, "libreoffice")
subprocess.run(["soffice", "--headless", "--infilter=dBase:33", "--convert-to",
                "csv:Text - txt - csv (StarCalc):44,34,76", "--outdir", lo,
                *[p for p, _ in tables.values()]], capture_output=True, check=True,
               env={**os.environ, "HOME": os.path.join(WORK, "home")})
for fmt, (path, expected) in tables.items():
    with open(os.path.join(lo, fmt + ".csv"), encoding="utf-8", newline="") as f:
        lines = list(csv.reader(f))
    names = [h.split(",")[0] for h in lines[0]]
    kinds = {h.split(",")[0]: (h.split(",") + [""])[1] for h in lines[0]}
    rows = [dict(zip(names, line)) for line in lines[1:]]
    skip = [k for k, v in kinds.items() if v == "M"] + list(BINARY) if fmt == "vfp" else []
    compare("libreoffice", fmt, expected, rows, kinds, skip, spreadsheet)

# The .xls export read back by LibreOffice: a date from 1 March 1900 on is a date cell.
path, expected = tables["dbase3"]
xls = os.path.join(WORK, "datan.xls")
run("export", path, "--format", "xls", "-o", xls)
subprocess.run(["soffice", "--headless", "--convert-to", "fods", "--outdir", lo, xls],
               capture_output=True, check=True,
               env={**os.environ, "HOME": os.path.join(WORK, "home")})
with open(os.path.join(lo, "datan.fods"), encoding="utf-8") as f:
    sheet = f.read()
dates = re.findall(r'office:value-type="date" office:date-value="([0-9]{4}-[0-9]{2}-[0-9]{2})',
                   sheet)
want = [d for d in (datetime.datetime.strptime(r["DATAN"], "%d.%m.%Y").strftime("%Y-%m-%d")
                    for r in expected if r["DATAN"]) if d >= "1900-03-01"]
if not want or dates != want:
    failures.append(f"libreoffice .xls dates: {dates}, orbelan {want}")

if failures:
    print("\n".join(failures))
    sys.exit(1)
print(f"{len(tables)} formats read back the same by dbfread, dbf, ogrinfo and LibreOffice")
