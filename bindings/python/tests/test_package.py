"""The package as users meet it: its version, its typing marker and the data's licences."""

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
