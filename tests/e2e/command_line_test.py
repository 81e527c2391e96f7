#!/usr/bin/env python3
"""The command line end to end: usage errors, --force, outputs on standard
output, outputs that cannot be written, and a stopped run's JSON.

usage: command_line_test.py PROGRAM EXAMPLE_DATA
"""
import json
import os
import subprocess
import sys
import tempfile
from pathlib import Path

PROGRAM, DATA = sys.argv[1], sys.argv[2]
failures = []


def run(args, cwd):
    return subprocess.run([PROGRAM, *args], cwd=cwd, capture_output=True)


def check(name, condition, detail=""):
    if not condition:
        failures.append(f"{name}: {detail}")


def case(function):
    with tempfile.TemporaryDirectory() as scratch:
        folder = Path(scratch)
        (folder / "TALVEN").write_bytes(Path(DATA).read_bytes())
        function(folder)


@case
def usage_errors(folder):
    for args, word in ((["--bogus"], "--bogus"), (["-o"], "--report"),
                       (["--json", "-", "--csv", "-"], "standard output"),
                       (["-o", "-", "--json", "-"], "standard output"),
                       (["--no-report", "-o", "x"], "--no-report"), (["extra"], "extra"),
                       (["--json", "a.json", "--csv", "a.json"], "two outputs"),
                       (["--json", "TALVEN", "--force"], "data file"), (["--json", ""], "--json"),
                       (["--check", "--html", "x.html"], "--html"),
                       (["--u-total", "1e999"], "--u-total"),
                       (["--json", "j.json", "ensdf", "x.ens"], "--json"),
                       (["-o", "r.out", "--json", "./r.out", "--force"], "two outputs"),
                       (["--csv", str(folder / "r.csv"), "--html", "r.csv"], "two outputs"),
                       (["--json=", "-q"], "--json"),
                       (["factors", "--nuclide", "Co-60", "--json=", "-q"], "--json"),
                       (["efficiency", "--detector=", "-q"], "--detector")):
        r = run(args, folder)
        lines = r.stderr.decode().splitlines()
        check(f"usage {args}", r.returncode == 2 and len(lines) == 1 and word in lines[0]
              and "--help" in lines[0], r)
        check(f"usage {args} creates nothing", sorted(os.listdir(folder)) == ["TALVEN"])


@case
def help_and_version(folder):
    r = run(["--help"], folder)
    check("help", r.returncode == 0 and b"--force" in r.stdout and b"Exit status" in r.stdout)
    r = run(["--version"], folder)
    check("version", r.returncode == 0 and r.stdout.startswith(b"tcsum "), r)


@case
def force_replaces_only_after_a_normal_end(folder):
    report = folder / "result.out"
    report.write_bytes(b"old report\n")
    r = run([], folder)
    check("no --force keeps the old report", r.returncode == 1 and report.read_bytes() ==
          b"old report\n" and b"cannot overwrite existing file" in r.stderr, r)
    r = run(["--force"], folder)
    check("--force replaces", r.returncode == 0 and b"Rechendatum" in report.read_bytes(), r)
    new = report.read_bytes()
    # A run that stops at a fault leaves the existing report as it was.
    bad = folder / "bad"
    text = (folder / "TALVEN").read_bytes()
    bad.write_bytes(text.replace(b"\n 2 1", b"\n x 1", 1))
    for name in ("old.json", "old.csv", "old.html"):
        (folder / name).write_text("keep")
    r = run(["--force", "-i", "bad", "--json", "old.json", "--csv", "old.csv", "--html",
             "old.html"], folder)
    check("failed --force run", r.returncode == 1 and report.read_bytes() == new, r)
    check("failed --force run keeps the other outputs",
          all((folder / n).read_text() == "keep" for n in ("old.json", "old.csv", "old.html")))
    check("failed --force run leaves no temporary file",
          sorted(os.listdir(folder)) == ["TALVEN", "bad", "old.csv", "old.html", "old.json",
                                         "result.out"], os.listdir(folder))
    # A link is followed: the file it names is replaced, the link stays.
    os.symlink("old.json", folder / "link.json")
    r = run(["--force", "--no-report", "--json", "link.json"], folder)
    check("--force through a link", r.returncode == 0 and (folder / "link.json").is_symlink()
          and json.loads((folder / "old.json").read_text())["status"] == "complete", r)


@case
def outputs_on_standard_output(folder):
    r = run(["-o", "-"], folder)
    check("report on standard output", r.returncode == 0 and r.stdout.startswith(b"\r\n\r\n")
          and not (folder / "result.out").exists(), r)
    r = run(["--no-report", "--json", "-"], folder)
    check("JSON on standard output", r.returncode == 0 and
          json.loads(r.stdout)["status"] == "complete" and
          not (folder / "result.out").exists(), r)
    r = run(["--no-report", "--csv", "-"], folder)
    check("CSV on standard output", r.returncode == 0 and
          r.stdout.startswith(b"dataset,kind,upper,lower,"), r)


@case
def unwritable_outputs(folder):
    r = run(["--json", "missing/out.json"], folder)
    lines = r.stderr.decode().splitlines()
    check("JSON in a missing folder", r.returncode == 1 and len(lines) == 1 and
          "missing/out.json" in lines[0] and "No such file or directory" in lines[0], r)
    (folder / "out.csv").write_text("keep")
    r = run(["--csv", "out.csv", "-o", "second.out"], folder)
    check("existing CSV without --force", r.returncode == 1 and
          (folder / "out.csv").read_text() == "keep" and b"out.csv" in r.stderr, r)
    if os.path.exists("/dev/full"):
        r = run(["--csv", "/dev/full", "-o", "third.out"], folder)
        check("CSV to a full device", r.returncode == 1 and
              b"Rechendatum" in (folder / "third.out").read_bytes(), r)


@case
def standard_output_that_cannot_be_written(folder):
    if not os.path.exists("/dev/full"):
        return
    geometry = Path(DATA).resolve().parent.parent / "geometry"
    point = ["--detector", str(geometry / "detector.toml"),
             "--source", str(geometry / "point10cm.toml"),
             "--calibration", str(geometry / "point10cm.csv"),
             "--calibration-geometry", str(geometry / "point10cm.toml")]
    for args, what in ((["--check"], "listing"),
                       (["--no-report", "--u-total", "5", "--samples", "1000"], "uncertainties"),
                       (["efficiency", *point], "efficiency table"),
                       (["--help"], "standard output"), (["--version"], "standard output"),
                       (["ensdf", "--help"], "standard output")):
        with open("/dev/full", "wb") as full:
            r = subprocess.run([PROGRAM, *args], cwd=folder, stdout=full, stderr=subprocess.PIPE)
        lines = [line for line in r.stderr.decode().splitlines()
                 if not line.startswith(("warning: ", "note: ", "integration: "))]
        check(f"{args} to a full standard output", r.returncode == 1 and len(lines) == 1 and
              what in lines[0] and "standard output" in lines[0], r)


@case
def records_after_the_end_marker(folder):
    with open(folder / "TALVEN", "ab") as f:
        f.write(b"not read\n")
    r = run(["--no-report", "--json", "out.json"], folder)
    document = json.loads((folder / "out.json").read_text())
    check("records after the end marker", r.returncode == 0 and
          b"records follow the end marker" in r.stderr and len(document["warnings"]) == 1, r)


@case
def stopped_run_says_so_in_json(folder):
    text = (folder / "TALVEN").read_bytes()
    (folder / "TALVEN").write_bytes(text.replace(b"\n 2 1", b"\n x 1", 1))
    r = run(["--json", "out.json"], folder)
    document = json.loads((folder / "out.json").read_text())
    check("stopped JSON", r.returncode == 1 and document["status"] == "stopped" and
          document["diagnostic"].startswith("input conversion error, unit 5, file TALVEN") and
          document["datasets"][-1]["status"] == "stopped", document.get("diagnostic"))


@case
def every_number_of_jobs_writes_the_same_outputs(folder):
    lines = (folder / "TALVEN").read_bytes().splitlines(keepends=True)
    block = next(k for k, line in enumerate(lines) if line.rstrip().endswith(b" 0")) + 1
    efficiency, data_set = lines[:block], lines[block:-1]
    bad = b"".join(data_set).replace(b"\n 2 1", b"\n x 1", 1)
    files = {"complete": b"".join(efficiency + data_set * 7) + b"E\n",
             "stopped": b"".join(efficiency + data_set * 6) + bad + b"E\n"}
    outputs = ("result.out", "r.json", "r.csv", "r.html")
    for name, text in files.items():
        (folder / name).write_bytes(text)
        seen = []
        for jobs in ("1", "3"):
            for output in outputs:
                (folder / output).unlink(missing_ok=True)
            r = run(["-i", name, "--json", "r.json", "--csv", "r.csv", "--html", "r.html",
                     "--jobs", jobs], folder)
            seen.append((r.returncode, r.stderr) + tuple(
                (folder / o).read_bytes() if (folder / o).exists() else None for o in outputs))
        check(f"{name} run with 1 and 3 jobs", seen[0] == seen[1] and
              seen[0][0] == (0 if name == "complete" else 1), seen[0][:2])


@case
def ensdf_command(folder):
    r = run(["ensdf"], folder)
    check("ensdf without a file", r.returncode == 2 and b"FILE" in r.stderr, r)
    (folder / "out.dat").write_text("keep")
    r = run(["ensdf", "-o", "out.dat", "TALVEN"], folder)
    check("ensdf keeps an existing output", r.returncode == 1 and
          (folder / "out.dat").read_text() == "keep" and b"--force" in r.stderr, r)


for failure in failures:
    print("FAILED", failure)
print(f"{len(failures)} failed")
sys.exit(1 if failures else 0)
