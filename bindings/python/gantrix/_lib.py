"""Locating and declaring the shared library."""

import ctypes
import ctypes.util
import os
import pathlib

_HERE = pathlib.Path(__file__).resolve().parent


def candidates(path=None):
    """Where to look, in order: the explicit path, $GANTRIX_LIBRARY, a copy next to the
    package, then the system's search."""
    if path is not None:
        yield os.fspath(path)
        return
    if os.environ.get("GANTRIX_LIBRARY"):
        yield os.environ["GANTRIX_LIBRARY"]
        return
    yield from (str(p) for p in sorted(_HERE.glob("libgantrix.so*")))
    found = ctypes.util.find_library("gantrix")
    if found:
        yield found
    yield "libgantrix.so.0"


def declare(lib):
    """Every answer is declared c_void_p, never c_char_p: ctypes would copy a c_char_p into a
    bytes object and drop the pointer that gx_free must release."""
    d, i64, s, p = ctypes.c_double, ctypes.c_int64, ctypes.c_char_p, ctypes.c_void_p
    signatures = {
        "gx_find": [d, d],
        "gx_country_at": [d, d],
        "gx_airport": [s],
        "gx_set_new": [s, i64],
        "gx_set_free": [i64],
        "gx_set_size": [i64],
        "gx_set_include": [i64, s],
        "gx_set_missing": [i64],
        "gx_set_nearest": [i64, d, d, s, i64, d, i64, i64],
        "gx_set_resolve": [i64, d, d, d, i64],
    }
    for name, argtypes in signatures.items():
        fn = getattr(lib, name)
        fn.argtypes, fn.restype = argtypes, p
    lib.gx_error.argtypes, lib.gx_error.restype = [], s  # owned by the library: copying is right
    lib.gx_free.argtypes, lib.gx_free.restype = [p], None
    return lib
