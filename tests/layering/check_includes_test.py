#!/usr/bin/env python3
"""The layer check itself, on small trees: what it must find and what it must let pass."""
import pathlib
import subprocess
import sys
import tempfile
import unittest

SCRIPT = pathlib.Path(__file__).with_name("check_includes.py")


def check(files):
    with tempfile.TemporaryDirectory() as root:
        for name, text in files.items():
            path = pathlib.Path(root, "src", name)
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text)
        done = subprocess.run([sys.executable, str(SCRIPT), root], capture_output=True, text=True)
        return done.returncode, done.stdout.splitlines()


class LayerCheck(unittest.TestCase):
    def test_downward_and_own_folder_includes_pass(self):
        code, lines = check({
            "core/store.hpp": "#pragma once\n",
            "input/reader.hpp": '#include "core/store.hpp"\n#include "input/fields.hpp"\n',
            "input/fields.hpp": "#pragma once\n",
            "driver/main.cpp": '#include "input/reader.hpp"\n#include <vector>\n',
            "report/report.cpp": '#include "report.hpp"\n',
            "report/report.hpp": "#pragma once\n",
        })
        self.assertEqual((code, lines), (0, []))

    def test_upward_and_sideways_includes_are_named_with_their_line(self):
        code, lines = check({
            "core/store.hpp": '#pragma once\n\n#include "input/reader.hpp"\n',
            "input/reader.hpp": "#pragma once\n",
            "report/report.hpp": '#  include "outputs/file.hpp"\n',
            "outputs/file.hpp": "#pragma once\n",
        })
        self.assertEqual(code, 1)
        self.assertEqual(lines, [
            'src/core/store.hpp:3: includes "input/reader.hpp", a higher layer (core is below input)',
            'src/report/report.hpp:1: includes "outputs/file.hpp" of the same layer (report and outputs)',
        ])

    def test_a_folder_without_a_layer_is_refused(self):
        code, lines = check({"core/a.hpp": "#pragma once\n", "widgets/w.cpp": '#include "core/a.hpp"\n'})
        self.assertEqual(code, 1)
        self.assertEqual(len(lines), 1)
        self.assertIn("src/widgets/: in no layer", lines[0])


if __name__ == "__main__":
    unittest.main()
