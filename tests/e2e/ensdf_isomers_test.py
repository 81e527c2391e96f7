#!/usr/bin/env python3
"""Decays with an isomer or a level without transitions in their cascades,
converted by tcsum ensdf and run by the classic program, against the
complete model of tcsum factors (which treats isomers exactly): every line
above 0.1 % emission is written, and its factor, combined over the data sets
it is written in, is as close to the complete model's as that of the whole
scheme taken as one data set, and close to it for the lines that pass
through the isomer or end on the level without transitions.

usage: ensdf_isomers_test.py PROGRAM ENSDF_DIR  (exit 77 when ENSDF_DIR is absent)
"""
import csv
import subprocess
import sys
import tempfile
from pathlib import Path

PROGRAM, ENSDF = sys.argv[1], Path(sys.argv[2])
if not ENSDF.is_dir():
    print(f"no ENSDF files at {ENSDF}")
    sys.exit(77)

# A 40 % coaxial detector with the source close to the end cap.
EFFICIENCY = (Path(__file__).resolve().parents[1] / "support" / "coaxial_40_percent_1cm.csv").read_text()
# Nuclide, file, and the lines through the isomer or into the dead end with
# their factors of the complete model (the one data set is 20-260 % off).
CASES = [("Se-75", "ensdf.075", {96.7: 1.029, 279.5: 1.420, 303.9: 0.996}),
         ("I-131", "ensdf.131", {177.2: 1.352, 325.8: 1.543, 503.0: 0.857}),
         ("Pb-214", "ensdf.214", {462.0: 1.473, 274.8: 1.514, 580.1: 1.491})]
failures = []


def run(args, cwd):
    r = subprocess.run([PROGRAM, *args], cwd=cwd, capture_output=True, text=True)
    return r


def gammas(path):
    return [r for r in csv.DictReader(open(path)) if r["kind"] == "gamma"]


with tempfile.TemporaryDirectory() as scratch:
    folder = Path(scratch)
    (folder / "eff.csv").write_text(EFFICIENCY)
    for nuclide, file, through in CASES:
        source = str(ENSDF / file)
        r = run(["ensdf", "--nuclide", nuclide, "--efficiency", "eff.csv", "-o", "d.dat", "--force",
                 source],
                folder)
        if r.returncode != 0:
            failures.append(f"{nuclide}: ensdf exit {r.returncode}: {r.stderr}")
            continue
        r = run(["-i", "d.dat", "--no-report", "--csv", "c.csv", "--force"], folder)
        if r.returncode != 0:
            failures.append(f"{nuclide}: run exit {r.returncode}: {r.stderr}")
            continue
        r = run(["factors", "--ensdf", source, "--nuclide", nuclide, "--efficiency", "eff.csv",
                 "--csv", "f.csv", "--force"], folder)
        table = run(["factors", "--ensdf", source, "--nuclide", nuclide, "--efficiency",
                     "eff.csv"], folder).stdout
        one = {}
        for line in table.splitlines():
            p = line.split()
            if len(p) >= 6 and p[0] == "gamma" and p[5] != "-":
                one[round(float(p[1]), 1)] = float(p[5])
        # Peak counts without and with summing, added over the data sets.
        counts = {}
        for row in gammas(folder / "c.csv"):
            c = counts.setdefault(round(float(row["energy_keV"]), 1), [0.0, 0.0])
            c[0] += float(row["rate0_percent"])
            c[1] += float(row["rate_percent"])
        for row in gammas(folder / "f.csv"):
            if float(row["emission_percent"]) < 0.1:
                continue
            e = round(float(row["energy_keV"]), 1)
            complete = float(row["factor"])
            if e not in counts:
                failures.append(f"{nuclide} {e} keV: not written")
                continue
            converted = counts[e][0] / counts[e][1]
            off = abs(converted / complete - 1)
            if e in one and off > abs(one[e] / complete - 1) + 0.005:
                failures.append(f"{nuclide} {e} keV: converted {converted:.4f}, one data set "
                                f"{one[e]:.4f}, complete {complete:.4f}")
            if e in through and (off > 0.03 or abs(complete / through[e] - 1) > 0.002):
                failures.append(f"{nuclide} {e} keV: converted {converted:.4f}, complete "
                                f"{complete:.4f} (expected {through[e]})")
        for e in through:
            if e not in counts:
                failures.append(f"{nuclide} {e} keV: missing")

for f in failures:
    print("FAILED", f)
print(f"{len(failures)} failed")
sys.exit(1 if failures else 0)
