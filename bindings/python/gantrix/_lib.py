"""Locating and declaring the shared library."""

import ctypes
import ctypes.util
import os
import pathlib

_HERE = pathlib.Path(__file__).resolve().parent


class Text(ctypes.c_char_p):
    """An answer: .value copies it, and the object itself still holds the pointer that gx_free
    must release. (ctypes turns a plain c_char_p result into bytes and drops the pointer; a
    subclass is returned as is.)"""


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
    """Declares every function of a loaded library; returns it with a twin, loaded as PyDLL,
    for gx_free and gx_error. Those two are too quick to be worth releasing the GIL, and a
    lookup then needs one release instead of two, which is what lets threads scale.

    The prototypes are the only way in: a value ctypes cannot convert exactly never reaches C,
    and integers are range-checked before a call (ctypes would wrap them)."""
    d, i64, s = ctypes.c_double, ctypes.c_int64, ctypes.c_char_p
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
        fn.argtypes, fn.restype = argtypes, Text
    quick = ctypes.PyDLL(lib._name, handle=lib._handle)  # the same loaded copy, not a second
    for owner in (lib, quick):
        owner.gx_error.argtypes, owner.gx_error.restype = [], s  # the library's own buffer
        owner.gx_free.argtypes, owner.gx_free.restype = [ctypes.c_void_p], None
    return lib, quick
