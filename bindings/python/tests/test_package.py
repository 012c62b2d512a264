"""The package as users meet it: its version, its public names, its examples, its typing
marker and the data's licence notices beside the code."""

import doctest
import importlib
import pathlib
import subprocess
import sys
import unittest

import gantrix


class Package(unittest.TestCase):
    def test_version_names_and_files(self):
        self.assertEqual(gantrix.__version__,
                         (pathlib.Path(__file__).parents[3] / "VERSION").read_text().strip())
        listing = "import gantrix; print(sorted(n for n in dir(gantrix) if n[0] != '_'))"
        out = subprocess.run([sys.executable, "-c", listing], capture_output=True, text=True, cwd="/")
        self.assertEqual(out.stdout.strip(), str(sorted(gantrix.__all__)), out.stderr)
        here = pathlib.Path(gantrix.__file__).parent
        self.assertTrue((here / "py.typed").exists())
        self.assertIn("ODbL", (here / "NOTICE").read_text())
        self.assertIn("CC BY 4.0", (here / "DATA-LICENCES.md").read_text())

    def test_examples(self):
        try:
            import pandas
            scope, modules = {"gantrix": gantrix, "pandas": pandas}, [gantrix, gantrix._frames]
            modules.append(importlib.import_module("gantrix.dask"))
            frame = pandas.DataFrame({"lat": [48.8566, 30.0], "lng": [2.3522, -40.0]})
            scope["ddf"] = importlib.import_module("dask.dataframe").from_pandas(frame, npartitions=1)
        except ImportError as e:
            self.skipTest("pandas or Dask is not installed: %s" % e)
        for module in modules:
            with self.subTest(module.__name__):
                result = doctest.testmod(module, extraglobs=scope, report=False)
                self.assertEqual(result.failed, 0)
                self.assertGreater(result.attempted, 1)
