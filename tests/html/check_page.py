#!/usr/bin/env python3
"""Runs tcsum --html on a data file and checks the page: well-formed as XML
(every inline SVG with it), self-contained (no address of the network, no
script, no style sheet or image from elsewhere), the data file's text shown
as text, and a run that stopped shown as stopped with its diagnostic."""
import argparse
import pathlib
import re
import subprocess
import sys
import xml.etree.ElementTree as ET


def fail(message):
    print("check_page: " + message, file=sys.stderr)
    sys.exit(1)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--program", required=True)
    p.add_argument("--data", required=True)
    p.add_argument("--work", required=True)
    p.add_argument("--expect-text", action="append", default=[],
                   help="text that must appear as text of the page")
    p.add_argument("--stopped", action="store_true", help="the run is expected to stop")
    a = p.parse_args()

    work = pathlib.Path(a.work)
    work.mkdir(parents=True, exist_ok=True)
    page = work / "page.html"
    page.unlink(missing_ok=True)
    run = subprocess.run([a.program, "-i", a.data, "--no-report", "--html", str(page)],
                         capture_output=True, text=True)
    if run.returncode != (1 if a.stopped else 0):
        fail(f"exit status {run.returncode}: {run.stderr}")
    raw = page.read_text(encoding="utf-8")

    try:
        root = ET.fromstring(raw)
    except ET.ParseError as e:
        fail(f"not well-formed: {e}")
    svgs = list(root.iter("svg"))
    if len(svgs) < 2:
        fail(f"{len(svgs)} charts")
    for svg in svgs:
        if not svg.get("viewBox") or svg.find("title") is None:
            fail("a chart without viewBox or title")
        ET.fromstring(ET.tostring(svg))  # each chart stands on its own as a document

    # Self-contained: nothing is fetched, nothing runs.
    for element in root.iter():
        if element.tag in ("script", "link", "img", "iframe", "object", "embed", "base"):
            fail(f"<{element.tag}> in the page")
        for name, value in element.attrib.items():
            if name.startswith("on"):
                fail(f"event handler {name}")
            if name in ("href", "src", "xlink:href") and not value.startswith("#"):
                fail(f"{name}={value!r} leaves the page")
            if "//" in value or re.search(r"(?i)url\(|https?:|ftp:", value):
                fail(f"{name}={value!r} names an address")
    style = "".join(s.text or "" for s in root.iter("style"))
    if re.search(r"(?i)url\(|@import|https?:|//", style):
        fail("the style sheet names an address")
    if re.search(r"(?i)https?:|ftp:", raw):
        fail("an address in the page")

    text = "".join(root.itertext())
    for expected in a.expect_text:
        if expected not in text:
            fail(f"{expected!r} is not shown as text")
    if a.stopped:
        lines = [line for line in run.stderr.splitlines() if line.strip()]
        diagnostic = [line for line in lines if not line.startswith("warning: ")][-1]
        if "The run stopped" not in text or diagnostic not in text:
            fail(f"the stop and its diagnostic {diagnostic!r} are not shown")
    elif "The run ended normally" not in text:
        fail("the page does not say that the run ended normally")
    # Every warning of the run about a data set or the table is in a box.
    for line in run.stderr.splitlines():
        found = re.match(r"warning: (?:data set .*|efficiency block), record (\d+): (.*)$", line)
        if found and f"Record {found[1]}: {found[2]}" not in text:
            fail(f"warning {line!r} is not shown")


if __name__ == "__main__":
    main()
