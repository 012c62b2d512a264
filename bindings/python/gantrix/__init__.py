"""Airport and country lookup through the Gantrix shared library (ctypes, no extension).

The library answers from the airport table it was built with: by default the airports with
scheduled passenger service, or every airport with an IATA code when built with
-DGANTRIX_AIRPORTS=all. A code of the other table is unknown: airport() gives None, a set
lists it in .missing, and find() never answers it.

Every answer the library returns is decoded from JSON and released exactly once. The
library takes one caller at a time, so one lock serialises every call from every thread.
"""

import ctypes
import json
import threading

from . import _lib

__all__ = ["GantrixError", "load", "find", "country_at", "airport", "find_many",
           "country_at_many", "AirportSet"]

_lock = threading.Lock()
_library = None


class GantrixError(Exception):
    """The library failed or answered with an error; the message is the library's."""


def load(path=None):
    """Loads the library (once; later calls return the loaded one) from path, or from
    $GANTRIX_LIBRARY, a copy next to this package, or the system's search."""
    global _library
    with _lock:
        if _library is None:
            errors = []
            for candidate in _lib.candidates(path):
                try:
                    _library = _lib.declare(ctypes.CDLL(candidate))
                    break
                except OSError as e:
                    errors.append(str(e))
            else:
                raise GantrixError("cannot load libgantrix: " + "; ".join(errors))
        return _library


def _text(lib, result):
    """Copies and frees one answer; the caller holds the lock, as gx_error is process-wide."""
    if not result:
        raise GantrixError(lib.gx_error().decode("utf-8", "replace"))
    try:
        return ctypes.string_at(result)
    finally:
        lib.gx_free(result)


def _call(name, *args):
    lib = _library or load()
    with _lock:
        text = _text(lib, getattr(lib, name)(*args))
    return json.loads(text)  # outside the lock: other threads need not wait for decoding


def _code_bytes(code):
    data = code.encode("utf-8")
    if b"\0" in data:
        raise ValueError("airport code contains a NUL byte: %r" % code)
    return data


def _checked_find(answer):
    if "error" in answer:
        raise GantrixError(answer["error"])
    return answer


def find(lat, lng):
    """The airport serving a coordinate, e.g. {"code": "fr.cdg", "name": "Paris, France"}."""
    return _checked_find(_call("gx_find", lat, lng))


def country_at(lat, lng):
    """The lower-case code of the country containing a coordinate, or None."""
    return _call("gx_country_at", lat, lng)


def airport(code):
    """The airport record for an IATA code (trimmed, any case), or None."""
    return _call("gx_airport", _code_bytes(code))


def _many(name, points):
    lib = _library or load()
    points = [(float(lat), float(lng)) for lat, lng in points]  # bad input fails before any call
    fn = getattr(lib, name)
    with _lock:
        texts = [_text(lib, fn(lat, lng)) for lat, lng in points]
    return [json.loads(text) for text in texts]


def find_many(points, raise_errors=True):
    """find() for each (lat, lng) pair, in order, taking the lock once. With
    raise_errors=False a point the library cannot answer keeps its {"error": ...} document
    in the list instead of raising."""
    answers = _many("gx_find", points)
    if raise_errors:
        for answer in answers:
            _checked_find(answer)
    return answers


def country_at_many(points):
    """country_at() for each (lat, lng) pair, in order, taking the lock once."""
    return _many("gx_country_at", points)


class AirportSet:
    """A set of airports named by IATA codes; codes naming no airport are listed in .missing.

    Close it (or use it as a context manager) to release it in the library; it is closed
    exactly once whatever happens, and closing again does nothing."""

    def __init__(self, codes):
        if isinstance(codes, (str, bytes)):
            raise TypeError("codes must be an iterable of codes, not one string")
        encoded = [_code_bytes(code) for code in codes]
        if any(b"\x1f" in code for code in encoded):
            raise ValueError("airport codes may not contain the byte 0x1F (the separator)")
        self._handle = None
        self._handle = _call("gx_set_new", b"\x1f".join(encoded), len(encoded))

    def _call(self, name, *args):
        lib = _library
        with _lock:  # checked under the lock, so a concurrent close() cannot slip in between
            if self._handle is None:
                raise ValueError("the airport set is closed")
            text = _text(lib, getattr(lib, name)(self._handle, *args))
        return json.loads(text)

    def close(self):
        lib = _library
        with _lock:  # the handle is taken and freed in one step, so it is freed exactly once
            handle, self._handle = getattr(self, "_handle", None), None
            if handle is not None:
                _text(lib, lib.gx_set_free(handle))

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        try:
            self.close()
        except Exception:  # interpreter shutdown may have torn the module down
            pass

    def __len__(self):
        return self._call("gx_set_size")

    def __contains__(self, code):
        return isinstance(code, str) and self._call("gx_set_include", _code_bytes(code))

    @property
    def missing(self):
        """The normalised codes that named no airport."""
        return self._call("gx_set_missing")

    def nearest(self, lat, lng, limit=5, country=None, max_km=None):
        """At most limit members nearest to the point, nearest first, each with distance_km;
        optionally only those in a country or within max_km."""
        return self._call("gx_set_nearest", lat, lng,
                          None if country is None else _code_bytes(country), country is not None,
                          0.0 if max_km is None else max_km, max_km is not None, limit)

    def resolve(self, lat, lng, foreign_max_km=None):
        """The member that serves the point (with distance_km, resolution, nearest_code), or
        None."""
        return self._call("gx_set_resolve", lat, lng,
                          0.0 if foreign_max_km is None else foreign_max_km,
                          foreign_max_km is not None)
