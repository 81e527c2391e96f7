#!/usr/bin/env python3
"""The folders of src/ in layers, and a check that no include climbs back up.

A file in a folder may include headers of its own folder and of folders in
lower layers; folders of one layer do not include each other. A new folder
gets a place in LAYERS before its first file is built.

Usage: check_includes.py [SOURCE_DIR]   (default: the repository of this file)
Prints one line per include that breaks the order and exits 1; exits 0 when
there is none.
"""
import pathlib
import re
import sys

# From the bottom up.
LAYERS = [
    # the data model, diagnostics, files that appear whole
    ["core"],
    # readers of the data file and of atomic data, the efficiency table, drawing
    ["input", "efficiency", "atomic", "plot"],
    # the decay scheme's stages, the checks of the data, efficiencies from a
    # detector and source geometry
    ["decay", "check", "geometry"],
    # summing stages; the converter from ENSDF into data files; the complete
    # model, on a decay scheme as read
    ["summing", "ensdf", "complete"],
    # the models that compute a data set, and their registry
    ["model"],
    # the uncertainty run
    ["uncertainty"],
    # writers of the results
    ["report", "outputs"],
    ["html"],
    # the command line
    ["cli"],
    # the program
    ["driver"],
    # the Python module, on the program's run
    ["python"],
]

INCLUDE = re.compile(r'^[ \t]*#[ \t]*include[ \t]*"([^"]+)"', re.MULTILINE)
SOURCES = {".hpp", ".cpp", ".h", ".cc", ".hh", ".ipp"}


def layer_of():
    layers = {}
    for level, folders in enumerate(LAYERS):
        for folder in folders:
            layers[folder] = level
    return layers


def violations(src):
    layers = layer_of()
    found = []
    for folder in sorted(p for p in src.iterdir() if p.is_dir()):
        if folder.name not in layers:
            found.append(f"src/{folder.name}/: in no layer; give it one in LAYERS of "
                         "tests/layering/check_includes.py")
    for path in sorted(src.rglob("*")):
        if path.suffix not in SOURCES or not path.is_file():
            continue
        rel = path.relative_to(src)
        if len(rel.parts) < 2:
            found.append(f"src/{rel}: outside every folder")
            continue
        own = rel.parts[0]
        if own not in layers:
            continue
        text = path.read_text(encoding="utf-8", errors="replace")
        for match in INCLUDE.finditer(text):
            included = match.group(1)
            line = text.count("\n", 0, match.start()) + 1
            # A name without a folder is one beside the including file.
            if "/" not in included or (path.parent / included).is_file():
                continue
            target = included.split("/")[0]
            if target == own:
                continue
            if target not in layers:
                if (src / target).is_dir():
                    continue  # reported above as a folder in no layer
                found.append(f"src/{rel}:{line}: includes \"{included}\", no folder of src/")
                continue
            if layers[target] == layers[own]:
                found.append(f"src/{rel}:{line}: includes \"{included}\" of the same layer "
                             f"({own} and {target})")
            elif layers[target] > layers[own]:
                found.append(f"src/{rel}:{line}: includes \"{included}\", a higher layer "
                             f"({own} is below {target})")
    return found


def main():
    root = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else pathlib.Path(__file__).parents[2]
    src = root / "src"
    if not src.is_dir():
        print(f"no folder {src}", file=sys.stderr)
        return 2
    found = violations(src)
    for line in found:
        print(line)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
