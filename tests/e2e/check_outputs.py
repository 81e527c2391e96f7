#!/usr/bin/env python3
"""The data outputs of an example run against its report and the schema.

Runs the program on DATA with --json and --csv in a scratch folder, then
checks that the JSON is valid against the published schema, that every
result line's energy, count without coincidences and factor, read back as a
32-bit float and rounded as the report rounds them, give the report's digits,
and that the CSV rows carry the JSON's numbers.

usage: check_outputs.py PROGRAM DATA SCHEMA [OPTION...]
(further options go to the program, such as an uncertainty run's)
"""
import csv
import decimal
import json
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

import jsonschema


def as_float32(number):
    return struct.unpack("<f", struct.pack("<f", number))[0]


def fixed(number, decimals):
    """The report's Fw.d digits: the float's exact value, rounded half to even."""
    exact = decimal.Decimal(as_float32(number))
    return str(exact.quantize(decimal.Decimal(1).scaleb(-decimals), decimal.ROUND_HALF_EVEN))


def result_rows(report):
    """Energy, count and factor of every results-table row, data set by data set."""
    sets, rows = [], None
    for line in report.decode("latin-1").split("\r\n"):
        if "REL. IMPULSANZ." in line:
            rows = []
            sets.append(rows)
        elif "Rechendatum" in line:
            rows = None
        elif rows is not None and line.strip():
            rows.append(line.split())
    return sets


def main(program, data, schema_path, *options):
    schema = json.loads(Path(schema_path).read_text())
    with tempfile.TemporaryDirectory() as scratch:
        run = subprocess.run([program, "-i", data, "-o", f"{scratch}/r.out", "--json",
                              f"{scratch}/r.json", "--csv", f"{scratch}/r.csv", "-q", *options],
                             capture_output=True)
        assert run.returncode == 0, run.stderr
        report = Path(f"{scratch}/r.out").read_bytes()
        document = json.loads(Path(f"{scratch}/r.json").read_text())
        with open(f"{scratch}/r.csv", newline="") as f:
            table = list(csv.DictReader(f))

    jsonschema.Draft202012Validator(schema).validate(document)
    assert document["status"] == "complete"
    sets = result_rows(report)
    assert len(sets) == len(document["datasets"])
    checked = 0
    for rows, dataset in zip(sets, document["datasets"]):
        lines = dataset["lines"]
        assert len(rows) == len(lines), (dataset["name"], len(rows), len(lines))
        for row, line in zip(rows, lines):
            expected = [fixed(line["energy_keV"], 3), fixed(line["rate0_percent"], 4),
                        fixed(line["factor"], 4)]
            assert row == expected, (dataset["name"], row, expected)
            checked += 1
    csv_lines = [(d["name"], line) for d in document["datasets"] for line in d["lines"]]
    assert len(table) == len(csv_lines)
    for row, (name, line) in zip(table, csv_lines):
        assert row["dataset"] == name and row["kind"] == line["kind"]
        for key in ("energy_keV", "rate0_percent", "rate_percent", "factor"):
            assert json.loads(row[key]) == line[key], (row, key)
        if "uncertainty" in line:
            u = line["uncertainty"]
            assert json.loads(row["factor_u"]) == u["standard"], row
            assert [json.loads(row["factor_low95"]), json.loads(row["factor_high95"])] == \
                u["interval95"], row
    print(f"{checked} result lines agree with the report; JSON valid; CSV agrees")


if __name__ == "__main__":
    main(*sys.argv[1:])
