#!/usr/bin/env python3
"""Writes samples/persoane.dbf: a small made-up table of persons (dBase III, cp1250).

Field names have at most 10 characters, as dBase allows (DATANASTER is the birth date).
Every personal code is invented and uses the county digits 99, which no county has.
Some codes are deliberately wrong, two rows are duplicates and one row has no code.
"""
import datetime
import os
import random
import struct

WEIGHTS = "279146358279"
FIELDS = [("NUME", "C", 30, 0), ("PRENUME", "C", 30, 0), ("CNP", "C", 13, 0),
          ("ADRESA", "C", 40, 0), ("LOCALITATE", "C", 25, 0), ("DATANASTER", "D", 8, 0),
          ("SUMA", "N", 12, 2), ("ACTIV", "L", 1, 0)]
NUME = ["POPESCU", "IONESCU", "POPA", "RADU", "STAN", "DUMITRU", "STOICA", "GHEORGHE",
        "MATEI", "CONSTANTIN", "ŞTEFĂNESCU", "BĂLAN", "ŢURCANU", "MUNTEANU", "DINU"]
PRENUME_M = ["ION", "IONEL", "VASILE", "ANDREI", "MIHAI", "GHEORGHE", "ŞERBAN", "PETRU"]
PRENUME_F = ["MARIA", "ELENA", "ANA", "IOANA", "CRISTINA", "ŞTEFANIA", "LUMINIŢA"]
STRAZI = ["Str. Libertăţii", "Bd. Unirii", "Str. Mihai Viteazu", "Str. Florilor", "Calea Moşilor"]
LOCALITATI = ["Deva", "Hunedoara", "Brad", "Orăştie", "Petroşani", "Simeria", "Haţeg"]


def cnp(sex_digit, born, serial):
    body = "%d%02d%02d%02d99%03d" % (sex_digit, born.year % 100, born.month, born.day, serial)
    r = sum(int(a) * int(b) for a, b in zip(body, WEIGHTS)) % 11
    return body + str(1 if r == 10 else r)


def rows(rng):
    out = []
    for i in range(28):
        male = rng.random() < 0.5
        born = datetime.date(1940, 1, 1) + datetime.timedelta(days=rng.randrange(0, 24000))
        century2000 = born.year >= 2000
        sex = (5 if male else 6) if century2000 else (1 if male else 2)
        code = cnp(sex, born, 100 + i)
        if i % 7 == 3:  # a wrong check digit
            code = code[:12] + str((int(code[12]) + 1) % 10)
        if i == 11:  # an impossible date
            code = code[:3] + "13" + code[5:]
        out.append({
            "NUME": rng.choice(NUME),
            "PRENUME": rng.choice(PRENUME_M if male else PRENUME_F),
            "CNP": code,
            "ADRESA": "%s nr. %d" % (rng.choice(STRAZI), rng.randrange(1, 120)),
            "LOCALITATE": rng.choice(LOCALITATI),
            "DATANASTER": born,
            "SUMA": round(rng.uniform(0, 5000), 2) if i % 5 else None,
            "ACTIV": rng.random() < 0.7,
        })
    out[20]["CNP"] = ""  # one person without a code
    out.append(dict(out[4]))  # duplicates
    out.append(dict(out[9]))
    return out


def encode_value(field, value):
    name, ftype, size, dec = field
    if ftype == "C":
        raw = (value or "").encode("cp1250")[:size]
        return raw.ljust(size, b" ")
    if ftype == "D":
        return value.strftime("%Y%m%d").encode() if value else b" " * 8
    if ftype == "N":
        return (b" " * size) if value is None else ("%*.*f" % (size, dec, value)).encode()
    if ftype == "L":
        return b"T" if value else b"F"
    raise ValueError(ftype)


def write(path, records):
    record_len = 1 + sum(f[2] for f in FIELDS)
    header_len = 32 + 32 * len(FIELDS) + 1
    today = datetime.date(2019, 8, 27)
    head = struct.pack("<BBBBIHH", 0x03, today.year - 1900, today.month, today.day,
                       len(records), header_len, record_len)
    head += b"\0" * 16 + bytes([0x00, 0xC8]) + b"\0" * 2  # byte 28 index flag, byte 29 cp1250
    out = bytearray(head)
    for name, ftype, size, dec in FIELDS:
        out += name.encode().ljust(11, b"\0") + ftype.encode() + b"\0" * 4
        out += bytes([size, dec]) + b"\0" * 14
    out += b"\r"
    for rec in records:
        out += b" " + b"".join(encode_value(f, rec[f[0]]) for f in FIELDS)
    out += b"\x1a"
    with open(path, "wb") as fh:
        fh.write(out)


if __name__ == "__main__":
    target = os.path.join(os.path.dirname(os.path.abspath(__file__)), "persoane.dbf")
    write(target, rows(random.Random(1219)))
    print(target)
