"""The package as users meet it: its version, its examples, its typing marker and the data's
licences."""

import doctest
import importlib
import pathlib
import unittest

import gantrix


class Package(unittest.TestCase):
    def test_version_and_files(self):
        self.assertEqual(gantrix.__version__,
                         (pathlib.Path(__file__).parents[3] / "VERSION").read_text().strip())
        here = pathlib.Path(gantrix.__file__).parent
        self.assertTrue((here / "py.typed").exists())
        self.assertIn("ODbL", (here / "NOTICE").read_text())
        self.assertIn("CC BY 4.0", (here / "DATA-LICENCES.md").read_text())

    def test_examples(self):
        try:
            import pandas
            ddf = importlib.import_module("dask.dataframe")
        except ImportError as e:
            self.skipTest("pandas or Dask is not installed: %s" % e)
        frame = pandas.DataFrame({"lat": [48.8566, 30.0], "lng": [2.3522, -40.0]})
        scope = {"gantrix": gantrix, "pandas": pandas, "ddf": ddf.from_pandas(frame, npartitions=1)}
        for module in (gantrix, gantrix._frames, importlib.import_module("gantrix.dask")):
            with self.subTest(module.__name__):
                result = doctest.testmod(module, extraglobs=scope, report=False)
                self.assertEqual((result.failed, result.attempted > 1), (0, True))
