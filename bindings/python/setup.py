"""Builds gantrix._native with CMake from the repository this directory belongs to, and
ships the data's licence notices inside the package. The version is the repository's
VERSION file, the one version source."""

import os
import pathlib
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext
from setuptools.command.build_py import build_py

ROOT = pathlib.Path(__file__).resolve().parent.parent.parent
NOTICES = {"NOTICE": "NOTICE", "datasets/README.md": "DATA-LICENCES.md"}


def version():
    try:
        return (ROOT / "VERSION").read_text().split()[0]
    except OSError:
        sys.exit("gantrix builds inside the Gantrix source tree; %s not found" % (ROOT / "VERSION"))


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        cmake = shutil.which("cmake")
        if cmake is None:
            sys.exit("building gantrix needs cmake and g++ (Debian: apt-get install cmake g++)")
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
        subprocess.run([cmake, "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                        "-DGANTRIX_BUILD_TESTS=OFF", "-DGANTRIX_BUILD_PYTHON=ON",
                        "-DGANTRIX_REQUIRE_PYTHON=ON", "-DGANTRIX_PYTHON=" + sys.executable],
                       check=True)
        subprocess.run([cmake, "--build", str(build), "--target", "gantrix_python", "-j", jobs],
                       check=True)
        built = sorted((build / "bindings/python/gantrix").glob("_native*"))
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[0], target)


class WithNotices(build_py):
    def run(self):
        super().run()
        for source, name in NOTICES.items():
            shutil.copyfile(ROOT / source, pathlib.Path(self.build_lib) / "gantrix" / name)


setup(version=version(), ext_modules=[Extension("gantrix._native", sources=[])],
      cmdclass={"build_ext": CMakeBuild, "build_py": WithNotices})
