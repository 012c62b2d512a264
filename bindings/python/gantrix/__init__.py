"""Which airport serves a coordinate, which country contains it, an airport's record, and
airport sets of your own: the Gantrix library, compiled into this package with its data.

    >>> import gantrix
    >>> gantrix.find(48.8566, 2.3522)
    {'code': 'fr.ory', 'name': 'Paris, France'}

The library answers from the airport table it was built with: by default the airports with
scheduled passenger service. Single calls give exactly the JSON answers of the library's C
functions, decoded; batches answer columns of coordinates in C++, without the GIL, on as
many threads as asked. Any thread may call anything at any time.
"""

import importlib as _importlib
import json as _json
import sys as _sys
from typing import (Any as _Any, Dict as _Dict, Iterable as _Iterable, List as _List,
                    Optional as _Optional, Sequence as _Sequence, Union as _Union)

try:
    _native = _importlib.import_module("gantrix._native")
except ImportError as _e:  # a package copied without its extension, or for another Python
    raise ImportError(
        "gantrix: its compiled extension gantrix._native cannot be loaded (%s). Install the "
        "package from the Gantrix source tree with `pip install --no-build-isolation "
        "./bindings/python`, using the Python that imports it; building needs cmake, g++, "
        "python3-dev and pybind11-dev (scripts/deps.sh python installs them)." % _e) from None

from . import _inputs
from . import _frames
from ._frames import AIRPORT_DETAILS, add_airport, add_country

__all__ = ["GantrixError", "find", "country_at", "airport", "find_many", "country_at_many",
           "Answer", "AirportSet", "add_country", "add_airport", "AIRPORT_DETAILS"]

#: The library's version, from the project's VERSION file.
__version__: str = _native.version


class GantrixError(Exception):
    """The library failed or answered with an error; the message is the library's. From the
    batch functions, .index is the position of the point that failed (None otherwise).

    >>> try:
    ...     gantrix.find(30, -40)
    ... except gantrix.GantrixError as e:
    ...     print(e)
    no country found for coordinates
    """

    def __init__(self, message: str, index: _Optional[int] = None) -> None:
        super().__init__(message)
        self.index = index


_native.set_failure_class(GantrixError)

_Coordinate = _Union[float, int]


def find(lat: _Coordinate, lng: _Coordinate) -> _Dict[str, str]:
    """The airport serving a coordinate; GantrixError when the library answers an error.

    >>> gantrix.find(-33.86, 151.21)
    {'code': 'au.syd', 'name': 'Sydney, Australia'}
    """
    answer = _json.loads(_native.find(_inputs.real("lat", lat), _inputs.real("lng", lng)))
    if "error" in answer:
        raise GantrixError(answer["error"])
    return answer


def country_at(lat: _Coordinate, lng: _Coordinate) -> _Optional[str]:
    """The lower-case code of the country containing a coordinate, or None.

    >>> gantrix.country_at(35.68, 139.69)
    'jp'
    """
    return _json.loads(_native.country_at(_inputs.real("lat", lat), _inputs.real("lng", lng)))


def airport(code: str) -> _Optional[_Dict[str, _Any]]:
    """An airport's record by IATA code (trimmed, any case) or by the composite code that
    find answers ("fr.ory"); None when no airport has it.

    >>> gantrix.airport("fr.ory")["airport_name"]
    'Paris Orly Airport'
    """
    data = _inputs.code("code", code)
    record = _json.loads(_native.airport(data))
    if record is None and "." in code:
        record = _json.loads(_native.airport(data.split(b".", 1)[1]))
        if record is not None and record["code"] != code.lower():
            record = None
    return record


class Answer(dict):
    """A read-only answer of find_many. Points served by the same airport share one Answer
    (that is what keeps a million results small); dict(answer) gives a copy to change.

    >>> a, b = gantrix.find_many([(48.85, 2.35), (48.86, 2.36)])
    >>> a is b
    True
    """

    __slots__ = ()

    def _read_only(self, *args, **kwargs):
        raise TypeError("find_many answers are shared and read-only; change dict(answer)")

    __setitem__ = __delitem__ = clear = pop = popitem = setdefault = update = _read_only
    __ior__ = _read_only

    def __reduce__(self):
        return (type(self), (dict(self),))


# Each airport's Answer, made once for the process: a batch then costs its points, not a
# decoding of every distinct airport it meets (Answers are read-only, so sharing is safe).
_answers: _Dict[int, Answer] = {}


def _airport_answer(airport_id: int) -> Answer:
    answer = _answers.get(airport_id)
    if answer is None:
        answer = _answers.setdefault(airport_id, Answer(_json.loads(_native.answer_of(airport_id))))
    return answer


def _error_answer(message: str) -> Answer:
    return Answer(error=message)


def _numpy():
    try:
        import numpy
    except ImportError:
        raise ImportError("columns=True gives numpy arrays and needs numpy "
                          "(Debian: python3-numpy)") from None
    return numpy


def _columns(batch, names: _Sequence[str]) -> _Dict[str, _Any]:
    """The batch's columns as numpy arrays: object arrays of str and None ("reason": why a
    point has no answer), and float64 positions (NaN where there is no airport)."""
    numpy = _numpy()
    out = {}
    for name in names:
        if name in ("airport_lat", "airport_lng"):
            out[name] = numpy.empty(len(batch), dtype=numpy.float64)
            batch.position(name, out[name])
        else:
            out[name] = numpy.empty(len(batch), dtype=object)
            batch.column(name, out[name])
    return out


def find_many(points: _Any = None, raise_errors: bool = True, *, lats: _Any = None,
              lngs: _Any = None, threads: _Optional[int] = 1, columns: bool = False,
              details: _Iterable[str] = ("label",)) -> _Union[_List[Answer], _Dict[str, _Any]]:
    """find() for each point, in order. points is a sequence of (lat, lng) pairs or an (n, 2)
    array, or lats and lngs are two columns: lists, numpy arrays of any real dtype, order and
    stride (masked arrays honoured), pandas Series (nullable dtypes included). threads > 1
    answers in that many threads (None: one per core); the GIL is released throughout.

    By default the result is a list of read-only Answer dicts, shared between points with the
    same answer, and the first point the library cannot answer raises GantrixError naming its
    index (.index); with raise_errors=False its {"error": ...} document stays in the list.
    A missing coordinate (None, pandas.NA, a masked entry) is answered "missing coordinates".

    With columns=True nothing raises: the result is a dict of numpy arrays, "airport" (the
    code), "airport_<detail>" for each of details (AIRPORT_DETAILS), and "reason" (why a
    point has no airport, else None).

    >>> gantrix.find_many(lats=[48.8566, 30], lngs=[2.3522, -40], columns=True)["airport"]
    array(['fr.ory', None], dtype=object)
    """
    names = _frames.names("airport", _frames.details_of(details)) + ["reason"] if columns else []
    batch = _run("find", points, lats, lngs, threads, raise_errors and not columns)
    if columns:
        return _columns(batch, names)
    failed = batch.first_error
    if raise_errors and failed is not None:
        raise GantrixError("point %d: %s" % failed, failed[0])
    return batch.answers(_airport_answer, _error_answer)


def country_at_many(points: _Any = None, *, lats: _Any = None, lngs: _Any = None,
                    threads: _Optional[int] = 1,
                    columns: bool = False) -> _Union[_List[_Optional[str]], _Dict[str, _Any]]:
    """country_at() for each point, in order; arguments as for find_many. A list of codes and
    None, or with columns=True a dict of numpy object arrays "country" and "reason" (why a
    point was not looked up: "missing coordinates" or "invalid coordinates").

    >>> gantrix.country_at_many([(48.8566, 2.3522), (30, -40)])
    ['fr', None]
    """
    batch = _run("country", points, lats, lngs, threads, False)
    return _columns(batch, ["country", "reason"]) if columns else batch.countries()


def _run(kind, points, lats, lngs, threads, stop_at_error):
    la, ln, missing = _inputs.coordinates(points, lats, lngs)
    return _native.run(kind, la, ln, missing, _inputs.thread_count(threads), stop_at_error)


class AirportSet:
    """A set of airports named by IATA codes; codes naming no airport are listed in .missing.

    Close it (or use it as a context manager) to release it in the library; closing again does
    nothing. Any thread may query it, also while another closes it: such a query then raises
    ValueError. A copy or a pickle is a new set made from the same codes, in the same order.

    >>> with gantrix.AirportSet(["CDG", "LHR", "XXX"]) as hubs:
    ...     [a["iata"] for a in hubs.nearest(48.8566, 2.3522)], hubs.missing
    (['CDG', 'LHR'], ['XXX'])
    """

    _handle = None

    def __init__(self, codes: _Iterable[str]) -> None:
        if isinstance(codes, (str, bytes)):
            raise TypeError("codes must be an iterable of codes, not one %s"
                            % _inputs.type_name(codes))
        codes = list(codes)
        encoded = [_inputs.code("codes[%d]" % i, code) for i, code in enumerate(codes)]
        self._codes = codes
        self._handle = _json.loads(_native.set_new(encoded))

    def __reduce__(self):
        return (type(self), (list(self._codes),))

    def _call(self, fn, *args):
        handle = self._handle
        if handle is None:
            raise ValueError("the airport set is closed")
        try:
            return _json.loads(fn(handle, *args))
        except GantrixError:
            if self._handle is None:  # closed by another thread meanwhile
                raise ValueError("the airport set is closed") from None
            raise

    def close(self) -> None:
        # dict.pop is one step under the GIL: of two threads closing at once, one gets the handle.
        handle = self.__dict__.pop("_handle", None)
        if handle is not None:
            _native.set_free(handle)

    def __enter__(self) -> "AirportSet":
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    def __del__(self, _finalizing=_sys.is_finalizing):
        # Never blocks, never raises. At interpreter exit the set is not freed: the process is
        # ending, and the library may be in use by a daemon thread frozen mid-call.
        if _finalizing():
            return
        try:
            self.close()
        except Exception:
            pass

    def __len__(self) -> int:
        return self._call(_native.set_size)

    def __contains__(self, code: str) -> bool:
        return self._call(_native.set_include, _inputs.code("code", code))

    @property
    def missing(self) -> _List[str]:
        """The normalised codes that named no airport."""
        return self._call(_native.set_missing)

    def nearest(self, lat: _Coordinate, lng: _Coordinate, limit: int = 5,
                country: _Optional[str] = None,
                max_km: _Optional[_Coordinate] = None) -> _List[_Dict[str, _Any]]:
        """At most limit members nearest to the point, nearest first, each with distance_km;
        optionally only those in a country (two letters) or within max_km. A negative limit
        or max_km, a NaN max_km or a country that is not two letters raises ValueError.

        >>> with gantrix.AirportSet(["CDG", "LHR"]) as s:
        ...     [a["iata"] for a in s.nearest(51.5, -0.12, limit=1)]
        ['LHR']
        """
        lat, lng = _inputs.real("lat", lat), _inputs.real("lng", lng)
        country = None if country is None else _inputs.code("country", country)
        return self._call(_native.set_nearest, lat, lng, country,
                          _inputs.optional_real("max_km", max_km), _inputs.int64("limit", limit))

    def resolve(self, lat: _Coordinate, lng: _Coordinate,
                foreign_max_km: _Optional[_Coordinate] = None) -> _Optional[_Dict[str, _Any]]:
        """The member that serves the point (with distance_km, resolution, nearest_code), or
        None.

        >>> with gantrix.AirportSet(["CDG", "LHR"]) as s:
        ...     s.resolve(51.5, -0.12)["iata"]
        'LHR'
        """
        lat, lng = _inputs.real("lat", lat), _inputs.real("lng", lng)
        return self._call(_native.set_resolve, lat, lng,
                          _inputs.optional_real("foreign_max_km", foreign_max_km))
