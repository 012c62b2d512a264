"""The package as users meet it: its version, its public names, its examples, its typing
marker and the data's licence notices beside the code."""

import doctest
import importlib
import pathlib
import subprocess
import sys
import unittest

import gantrix

ROOT = pathlib.Path(__file__).resolve().parents[3]


class Package(unittest.TestCase):
    def test_version_is_the_projects(self):
        self.assertEqual(gantrix.__version__, (ROOT / "VERSION").read_text().strip())

    def test_public_names_are_all(self):
        listing = "import gantrix; print(sorted(n for n in dir(gantrix) if not n.startswith('_')))"
        out = subprocess.run([sys.executable, "-c", listing], capture_output=True, text=True,
                             check=True, cwd="/").stdout
        self.assertEqual(out.strip(), str(sorted(gantrix.__all__)))

    def test_files_shipped(self):
        here = pathlib.Path(gantrix.__file__).parent
        self.assertTrue((here / "py.typed").exists())
        self.assertIn("ODbL", (here / "NOTICE").read_text())
        self.assertIn("CC BY 4.0", (here / "DATA-LICENCES.md").read_text())

    def test_examples(self):
        try:
            import pandas
        except ImportError:
            self.skipTest("pandas is not installed")
        scope = {"gantrix": gantrix, "pandas": pandas}
        modules = [gantrix, gantrix._frames]
        try:
            import dask.dataframe as dd
            gdask = importlib.import_module("gantrix.dask")
        except ImportError:
            pass
        else:
            frame = pandas.DataFrame({"lat": [48.8566, 30.0], "lng": [2.3522, -40.0]})
            scope["ddf"] = dd.from_pandas(frame, npartitions=1)
            modules.append(gdask)
        for module in modules:
            with self.subTest(module.__name__):
                result = doctest.testmod(module, extraglobs=scope, report=False)
                self.assertEqual(result.failed, 0)
                self.assertGreater(result.attempted, 1)


if __name__ == "__main__":
    unittest.main()
