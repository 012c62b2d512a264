"""Airport and country lookup through the Gantrix shared library (ctypes, no extension).

The library answers from the airport table it was built with: by default the airports with
scheduled passenger service, or every airport with an IATA code when built with
-DGANTRIX_AIRPORTS=all. A code of the other table is unknown: airport() gives None, a set
lists it in .missing, and find() never answers it.

Every answer the library returns is decoded from JSON and released exactly once. Any thread may
call at any time: there is no lock here, and ctypes releases the GIL during each lookup, so
threads look up in parallel. A failure message is read right after the failed call, in the same
thread, which is where the library keeps it.
"""

import array
import ctypes
import json
import operator
import os
import sys
import threading

from . import _lib

__all__ = ["GantrixError", "load", "find", "country_at", "airport", "find_many",
           "country_at_many", "Answer", "AirportSet"]

_load_lock = threading.Lock()  # taken only while loading, never by a lookup or a finalizer
_library = None
_quick = None  # the same library as PyDLL: gx_free and gx_error without releasing the GIL

_INT64 = (-(1 << 63), (1 << 63) - 1)
# A thread is worth starting for this many points at least; fewer are answered by the caller.
_MIN_CHUNK = 2000
_MISS = object()


class GantrixError(Exception):
    """The library failed or answered with an error; the message is the library's. From the
    batch functions, .index is the position of the point that failed (None otherwise)."""

    def __init__(self, message, index=None):
        super().__init__(message)
        self.index = index


def load(path=None):
    """Loads the library (once; later calls return the loaded one) from path, or from
    $GANTRIX_LIBRARY, a copy next to this package, or the system's search."""
    global _library, _quick
    with _load_lock:
        if _library is None:
            errors = []
            for candidate in _lib.candidates(path):
                try:
                    lib, _quick = _lib.declare(ctypes.CDLL(candidate))
                    _library = lib
                    break
                except OSError as e:
                    errors.append(str(e))
            else:
                raise GantrixError("cannot load libgantrix: " + "; ".join(errors))
        return _library


# Arguments are checked and converted here, so that ctypes only ever sees a float, an int in
# range or bytes, and a mistake is reported with the argument's name.

def _type_name(value):
    return type(value).__name__


def _real(name, value):
    """value as a float: any real number (int, float, numpy scalar, Decimal, Fraction, anything
    with __float__ or __index__); never a text, which float() would parse."""
    if type(value) is float:
        return value
    kind = type(value)
    if isinstance(value, (str, bytes, bytearray)) or not (
            hasattr(kind, "__float__") or hasattr(kind, "__index__")):
        raise TypeError("%s must be a real number, not %s" % (name, _type_name(value)))
    try:
        return float(value)
    except OverflowError:
        raise OverflowError("%s is too large for a float" % name) from None


def _optional_real(name, value):
    return None if value is None else _real(name, value)


def _int64(name, value):
    """value as an int in the signed 64-bit range; ctypes would silently wrap a larger one."""
    try:
        number = operator.index(value)
    except TypeError:
        raise TypeError("%s must be an integer, not %s" % (name, _type_name(value))) from None
    if not _INT64[0] <= number <= _INT64[1]:
        raise OverflowError("%s is outside the signed 64-bit range: %d" % (name, number))
    return number


def _code(name, value):
    """An airport or country code as the library's UTF-8 text."""
    if not isinstance(value, str):
        raise TypeError("%s must be a str, not %s" % (name, _type_name(value)))
    data = value.encode("utf-8")
    if b"\0" in data:
        raise ValueError("%s contains a NUL byte: %r" % (name, value))
    return data


def _take(text):
    """Copies and frees one answer (a _lib.Text); None when the call failed."""
    value = text.value
    _quick.gx_free(text)
    return value


def _failure():
    return _quick.gx_error().decode("utf-8", "replace")


def _call(name, *args):
    lib = _library or load()
    value = _take(getattr(lib, name)(*args))
    if value is None:
        raise GantrixError(_failure())
    return json.loads(value)


def _checked_find(answer):
    if "error" in answer:
        raise GantrixError(answer["error"])
    return answer


def find(lat, lng):
    """The airport serving a coordinate, e.g. {"code": "fr.cdg", "name": "Paris, France"}."""
    return _checked_find(_call("gx_find", _real("lat", lat), _real("lng", lng)))


def country_at(lat, lng):
    """The lower-case code of the country containing a coordinate, or None."""
    return _call("gx_country_at", _real("lat", lat), _real("lng", lng))


def airport(code):
    """The airport record for an IATA code (trimmed, any case), or None."""
    return _call("gx_airport", _code("code", code))


class Answer(dict):
    """A read-only answer of find_many. Points served by the same airport share one Answer
    (that is what keeps a million results small), so changing one would change them all;
    dict(answer) gives a copy to change."""

    __slots__ = ()

    def _read_only(self, *args, **kwargs):
        raise TypeError("find_many answers are shared and read-only; change dict(answer)")

    __setitem__ = __delitem__ = clear = pop = popitem = setdefault = update = _read_only
    __ior__ = _read_only

    def __reduce__(self):
        return (type(self), (dict(self),))


def _numeric(value, ndim):
    """value as a C-contiguous float64 numpy array when it is a numpy (or array-like) of
    integers or floats with ndim dimensions; None for anything else, which is then read value
    by value. numpy is only imported when the caller has handed over an array."""
    if not hasattr(value, "__array__") or isinstance(value, (list, tuple)):
        return None
    try:
        import numpy
    except ImportError:
        return None
    table = numpy.asarray(value)
    if table.dtype.kind not in "iuf" or table.ndim != ndim:
        return None
    return numpy.ascontiguousarray(table, dtype=numpy.float64)


def _doubles(table):
    """A contiguous float64 array read as Python floats, in place. (numpy may name the format
    "=d" or "<d", which a memoryview cannot index; "d" after a cast through bytes.)"""
    return memoryview(table).cast("B").cast("d")


def _column(name, values):
    table = _numeric(values, 1)
    if table is not None:
        return _doubles(table)
    column = array.array("d")
    for i, value in enumerate(values):
        column.append(value if type(value) is float else _real("%s[%d]" % (name, i), value))
    return column


def _coordinates(points, lats, lngs):
    """The latitudes and longitudes as two sequences of floats, 8 bytes a value, every value
    checked before the first lookup."""
    if points is not None:
        if lats is not None or lngs is not None:
            raise TypeError("give points, or lats and lngs, not both")
        table = _numeric(points, 2)
        if table is not None:
            if table.shape[1] != 2:
                raise ValueError("points must have two columns (lat, lng), not %d"
                                 % table.shape[1])
            return _doubles(table[:, 0].copy()), _doubles(table[:, 1].copy())
        la, ln = array.array("d"), array.array("d")
        for i, point in enumerate(points):
            try:
                lat, lng = point
            except (TypeError, ValueError):
                raise TypeError("points[%d] must be a (lat, lng) pair" % i) from None
            la.append(lat if type(lat) is float else _real("latitude of points[%d]" % i, lat))
            ln.append(lng if type(lng) is float else _real("longitude of points[%d]" % i, lng))
        return la, ln
    if lats is None or lngs is None:
        raise TypeError("give points, or both lats and lngs")
    la, ln = _column("lats", lats), _column("lngs", lngs)
    if len(la) != len(ln):
        raise ValueError("lats and lngs differ in length (%d and %d)" % (len(la), len(ln)))
    return la, ln


def _thread_count(threads):
    if threads is None:
        return len(os.sched_getaffinity(0)) if hasattr(os, "sched_getaffinity") else (
            os.cpu_count() or 1)
    count = _int64("threads", threads)
    if count < 1:
        raise ValueError("threads must be at least 1, not %d" % count)
    return count


def _batch(name, points, lats, lngs, threads, stop_at_error):
    """Answers every point in order, in up to `threads` threads, each taking a contiguous run of
    points. Equal answer texts are decoded once and the object is shared, so a result costs a
    list slot, not a dict. With stop_at_error, a find error document ends the work at the first
    failing point (the lowest index, whichever thread sees it first)."""
    la, ln = _coordinates(points, lats, lngs)
    threads = _thread_count(threads)
    fn = getattr(_library or load(), name)
    free = _quick.gx_free
    is_find = name == "gx_find"
    count = len(la)
    good, bad = {}, {}  # answer text -> its shared answer; find's error documents apart
    first = [count, None]  # the lowest failing index so far, and its exception
    failing = threading.Lock()  # taken only on a failure

    def fail(i, error):
        with failing:
            if i < first[0]:
                first[0], first[1] = i, error

    def run(lo, hi, part):
        get, put = good.get, part.append
        for start in range(lo, hi, 512):
            if start > first[0]:
                return  # a point before these has failed
            end = min(start + 512, hi)
            for lat, lng in zip(la[start:end], ln[start:end]):
                text = fn(lat, lng)
                value = text.value
                free(text)
                answer = get(value, _MISS)
                if answer is _MISS:
                    answer = bad.get(value, _MISS)
                    if answer is _MISS:
                        if value is None:
                            i = lo + len(part)
                            fail(i, GantrixError("point %d: %s" % (i, _failure()), i))
                            return
                        answer = json.loads(value)
                        if is_find:
                            answer = Answer(answer)
                        if not is_find or "error" not in answer:
                            good[value] = answer
                            put(answer)
                            continue
                        bad[value] = answer
                    if stop_at_error:
                        i = lo + len(part)
                        fail(i, GantrixError("point %d: %s" % (i, answer["error"]), i))
                        return
                put(answer)

    def guarded(lo, hi, part):
        try:
            run(lo, hi, part)
        except BaseException as e:  # noqa: B036 -- handed to the caller's thread
            fail(-1, e)

    parts = [[] for _ in range(max(1, min(threads, count // _MIN_CHUNK)))]
    if len(parts) == 1:
        run(0, count, parts[0])
    else:
        bounds = [count * k // len(parts) for k in range(len(parts) + 1)]
        # Daemon threads: a caller that is itself a daemon thread frozen at exit must not
        # leave behind threads that the interpreter waits for.
        workers = [threading.Thread(target=guarded, args=(bounds[k], bounds[k + 1], parts[k]),
                                    daemon=True, name="gantrix-%d" % k)
                   for k in range(1, len(parts))]
        for worker in workers:
            worker.start()
        try:
            run(bounds[0], bounds[1], parts[0])
        except BaseException:
            first[0] = -1  # stops the others at their next block
            raise
        finally:
            for worker in workers:
                worker.join()
    if first[1] is not None:
        raise first[1]
    out = parts[0]
    for part in parts[1:]:
        out += part
    return out


def find_many(points=None, raise_errors=True, *, lats=None, lngs=None, threads=1):
    """find() for each point, in order: points is a sequence of (lat, lng) pairs or an (n, 2)
    array, or lats and lngs are two sequences or 1-D arrays. threads > 1 answers in that many
    threads (None: one per core). The answers are read-only Answer dicts, shared between
    points with the same answer. With raise_errors (the default), the first point the library
    cannot answer raises GantrixError naming its index (.index); without, its {"error": ...}
    document stays in the list."""
    return _batch("gx_find", points, lats, lngs, threads, raise_errors)


def country_at_many(points=None, *, lats=None, lngs=None, threads=1):
    """country_at() for each point, in order; arguments as for find_many."""
    return _batch("gx_country_at", points, lats, lngs, threads, False)


class AirportSet:
    """A set of airports named by IATA codes; codes naming no airport are listed in .missing.

    Close it (or use it as a context manager) to release it in the library; it is closed
    exactly once whatever happens, and closing again does nothing. Any thread may query it,
    also while another closes it: such a query then raises ValueError."""

    _handle = None

    def __init__(self, codes):
        if isinstance(codes, (str, bytes)):
            raise TypeError("codes must be an iterable of codes, not one %s" % _type_name(codes))
        encoded = [_code("codes[%d]" % i, code) for i, code in enumerate(codes)]
        if any(b"\x1f" in code for code in encoded):
            raise ValueError("airport codes may not contain the byte 0x1F (the separator)")
        self._handle = _call("gx_set_new", b"\x1f".join(encoded), len(encoded))

    def _call(self, name, *args):
        handle = self._handle
        if handle is None:
            raise ValueError("the airport set is closed")
        value = _take(getattr(_library, name)(handle, *args))
        if value is None:
            message = _failure()
            if self._handle is None:  # closed by another thread meanwhile
                raise ValueError("the airport set is closed")
            raise GantrixError(message)
        return json.loads(value)

    def close(self):
        # dict.pop is one step under the GIL: of two threads closing at once, one gets the handle.
        handle = self.__dict__.pop("_handle", None)
        if handle is not None:
            _call("gx_set_free", handle)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self, _finalizing=sys.is_finalizing):
        # Never blocks, never raises. At interpreter exit the set is not freed: the process is
        # ending, and the library may be in use by a daemon thread frozen mid-call.
        if _finalizing():
            return
        try:
            self.close()
        except Exception:
            pass

    def __len__(self):
        return self._call("gx_set_size")

    def __contains__(self, code):
        return self._call("gx_set_include", _code("code", code))

    @property
    def missing(self):
        """The normalised codes that named no airport."""
        return self._call("gx_set_missing")

    def nearest(self, lat, lng, limit=5, country=None, max_km=None):
        """At most limit members nearest to the point, nearest first, each with distance_km;
        optionally only those in a country or within max_km."""
        lat, lng = _real("lat", lat), _real("lng", lng)
        country = None if country is None else _code("country", country)
        max_km = _optional_real("max_km", max_km)
        return self._call("gx_set_nearest", lat, lng, country, country is not None,
                          0.0 if max_km is None else max_km, max_km is not None,
                          _int64("limit", limit))

    def resolve(self, lat, lng, foreign_max_km=None):
        """The member that serves the point (with distance_km, resolution, nearest_code), or
        None."""
        lat, lng = _real("lat", lat), _real("lng", lng)
        foreign_max_km = _optional_real("foreign_max_km", foreign_max_km)
        return self._call("gx_set_resolve", lat, lng,
                          0.0 if foreign_max_km is None else foreign_max_km,
                          foreign_max_km is not None)
