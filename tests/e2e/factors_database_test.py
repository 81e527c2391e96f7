#!/usr/bin/env python3
"""tcsum factors on every decay data set of the shared ENSDF database.

Runs `tcsum factors --nuclide all` over the files ensdf.NNN (every EVERY-th
file when given) with the illustrative 40 % detector table, and checks: it
ends with status 0; every decay data set is either computed or refused with
a reason; in every computed one each line has a sound count (finite, not
negative, the factor its count without coincidences over its count) and
every line seen without coincidences has a factor; no warning speaks of a
number that is none. Skips (77) when the database is absent.

usage: factors_database_test.py PROGRAM ENSDF_DIR [EVERY]
"""
import json
import math
import subprocess
import sys
import tempfile
from pathlib import Path

SKIP = 77
EFFICIENCY = Path(__file__).resolve().parents[1] / "support" / "coaxial_40_percent_1cm.csv"


def check_data_set(ds):
    """The faults of one data set's JSON, as text."""
    faults = []
    name = f"{ds['name']} {ds['dsid']}"
    if ds["status"] == "refused":
        if not ds.get("reason"):
            faults.append(f"{name}: refused without a reason")
        return faults
    if ds["status"] != "computed":
        return [f"{name}: status {ds['status']}"]
    lines = ds["lines"]
    if not lines and any(t["gamma_percent"] > 0 for t in ds["transitions"]):
        faults.append(f"{name}: gamma rays but no line")
    for line in lines:
        where = f"{name} {line['kind']} {line['energy_keV']} keV"
        rate, rate0, factor = line["rate_percent"], line["rate0_percent"], line["factor"]
        if rate is None or not math.isfinite(rate) or rate < 0:
            faults.append(f"{where}: count {rate}")
            continue
        if line["kind"] == "sum":
            if not rate > 0 or factor != 0:
                faults.append(f"{where}: sum peak with count {rate} and factor {factor}")
            continue
        if rate0 is None or rate0 < 0:
            faults.append(f"{where}: count without coincidences {rate0}")
        elif rate0 > 0 and rate > 0:
            if factor is None or abs(factor - rate0 / rate) > 1e-9 * factor:
                faults.append(f"{where}: factor {factor}, counts {rate0} / {rate}")
        elif rate0 > 1e-9 and rate == 0:
            # Seen without coincidences, never with them: possible only if every
            # emission of it comes with a photon that always leaves something.
            faults.append(f"{where}: seen alone ({rate0} %) but never counted")
    for warning in ds["warnings"]:
        if "nan" in warning.lower().split() or "inf" in warning.lower().split():
            faults.append(f"{name}: warning '{warning}'")
    return faults


def main(program, ensdf_dir, every=1):
    files = sorted(Path(ensdf_dir).glob("ensdf.[0-9][0-9][0-9]"))[::every]
    if not files:
        print("no shared ENSDF database: skipped")
        return SKIP
    with tempfile.TemporaryDirectory() as scratch:
        out = Path(scratch) / "all.json"
        args = [program, "factors", "--nuclide", "all", "--efficiency", str(EFFICIENCY),
                "--json", str(out), "-j", "2", "-q"]
        for f in files:
            args += ["--ensdf", str(f)]
        run = subprocess.run(args, capture_output=True, text=True)
        if run.returncode != 0:
            print(f"exit {run.returncode}: {run.stderr[-2000:]}")
            return 1
        data = json.loads(out.read_text())
    faults = []
    computed = 0
    for ds in data["datasets"]:
        faults += check_data_set(ds)
        computed += ds["status"] == "computed"
    print(f"{len(files)} files, {len(data['datasets'])} decay data sets, {computed} computed, "
          f"{len(faults)} faults")
    for f in faults[:20]:
        print(f)
    if computed < 0.5 * len(data["datasets"]):
        print("fewer than half computed")
        return 1
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2], int(sys.argv[3]) if len(sys.argv) > 3 else 1))
