"""`orbelan compare` checked against the differences computed here, independently, from what
dbfread reads: two copies of a table, one with changed values, a changed code and its codes
stored as numbers, compared as DBF and with the other one as a CSV file.

    compare_peers.py ORBELAN SOURCE.dbf WORKDIR
"""
import collections
import csv
import io
import json
import os
import shutil
import subprocess
import sys

import dbfread

ORBELAN, SOURCE, WORK = sys.argv[1:4]
failures = []


def run(*args, ok=(0, 1)):
    r = subprocess.run([ORBELAN, *args], capture_output=True, text=True)
    if r.returncode not in ok:
        sys.exit(f"orbelan {' '.join(args)}: exit {r.returncode}\n{r.stdout}{r.stderr}")
    return r.stdout


def rows(path):
    return [dict(r) for r in dbfread.DBF(path, encoding="cp1250", char_decode_errors="replace")]


def key(value):
    if value is None:
        return ""
    if isinstance(value, (int, float)):
        return str(int(value))
    return str(value).strip()


def norm(value):
    """A value as a comparison sees it: texts without trailing blanks, numbers by value."""
    if value is None:
        return None
    if isinstance(value, str):
        value = value.rstrip()
        return value if value.strip() else None
    if isinstance(value, float) and value == int(value):
        return int(value)
    return value


def expected(a, b):
    keys_a = collections.Counter(key(r["CNP"]) for r in a)
    keys_b = collections.Counter(key(r["CNP"]) for r in b)
    index_b = {key(r["CNP"]): i for i, r in enumerate(b)}
    shared = [c for c in a[0] if c != "CNP" and c in b[0]]
    groups = collections.defaultdict(set)
    differ = set()
    for i, r in enumerate(a):
        k = key(r["CNP"])
        if not k:
            groups["empty-here"].add(i + 1)
        elif keys_a[k] > 1 or keys_b[k] > 1:
            groups["repeated-here"].add(i + 1)
        elif k not in keys_b:
            groups["only-here"].add(i + 1)
        else:
            j = index_b[k]
            cols = {c for c in shared if norm(r[c]) != norm(b[j][c])}
            groups["differ" if cols else "same"].add(i + 1)
            differ |= {(i + 1, j + 1, c) for c in cols}
    for j, r in enumerate(b):
        k = key(r["CNP"])
        if not k:
            groups["empty-there"].add(j + 1)
        elif keys_a[k] > 1 or keys_b[k] > 1:
            groups["repeated-there"].add(j + 1)
        elif k not in keys_a:
            groups["only-there"].add(j + 1)
    return groups, differ


def check(what, other, line_of_row):
    a, b = rows(table), rows(other_dbf)
    groups, differ = expected(a, b)
    counts = json.loads(run("compare", table, other, "--key", "CNP", "--format", "json"))
    for name, n in counts.items():
        if n != len(groups[name]):
            failures.append(f"{what}: {name} {n}, expected {len(groups[name])}")
    got = set()
    for r in csv.DictReader(io.StringIO(run("compare", table, other, "--key", "CNP", "--show",
                                            "differ", "--format", "csv"))):
        got.add((int(r["LINIE"]), int(r["LINIE_ALT"]), r["COLOANA"]))
    want = {(i, line_of_row(j), c) for i, j, c in differ}
    if got != want:
        failures.append(f"{what}: differ {sorted(got ^ want)}")
    for name in ("only-here", "same"):
        lines = {int(r["LINIE"]) for r in csv.DictReader(io.StringIO(
            run("compare", table, other, "--key", "CNP", "--show", name, "--format", "csv")))}
        if lines != groups[name]:
            failures.append(f"{what}: {name} {sorted(lines ^ groups[name])}")


os.makedirs(WORK, exist_ok=True)
table = os.path.join(WORK, "aici.dbf")
other_dbf = os.path.join(WORK, "alt.dbf")
shutil.copy(SOURCE, table)
shutil.copy(SOURCE, other_dbf)
run("set", other_dbf, "2", "LOCALITATE", "Altundeva", ok=(0,))
run("set", other_dbf, "3", "SUMA", "1234.5", ok=(0,))
run("set", other_dbf, "4", "CNP", "1990101990011", ok=(0,))
run("set", other_dbf, "6", "NUME", "ALTUL", ok=(0,))
run("alter", other_dbf, "--set", "CNP N(13,0)", "--yes", ok=(0,))
check("dbf", other_dbf, lambda j: j)

# The other table as a CSV file: ISO dates, '.' decimals; its lines count from the header's 1.
other_csv = os.path.join(WORK, "alt.csv")
with open(other_csv, "w", newline="", encoding="utf-8") as f:
    w = csv.writer(f, delimiter=";")
    b = rows(other_dbf)
    w.writerow(list(b[0]))
    for r in b:
        w.writerow(["" if v is None else ("DA" if v is True else "NU" if v is False else
                                          v.isoformat() if hasattr(v, "isoformat") else v)
                    for v in r.values()])
check("csv", other_csv, lambda j: j + 1)

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("compare agrees with dbfread")
