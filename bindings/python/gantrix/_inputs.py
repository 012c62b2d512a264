"""What callers pass, made into what the extension reads: floats, 64-bit integers and UTF-8
codes for single calls; for batches, two columns of doubles (read in place at any stride) and
a mask of the points that are missing. A mistake is refused before any lookup, naming the
argument."""

from __future__ import annotations

import numbers
import operator
import os
import sys
from typing import Any, Optional, Tuple

from . import _native

INT64 = (-(1 << 63), (1 << 63) - 1)


def type_name(value: Any) -> str:
    return type(value).__name__


def real(name: str, value: Any) -> float:
    """value as a float: any real number (int, float, numpy scalar, Decimal, Fraction, anything
    with __float__ or __index__); never a text, which float() would parse, nor a complex
    number, whose imaginary part would be lost."""
    if type(value) is float:
        return value
    kind = type(value)
    if (isinstance(value, (str, bytes, bytearray))
            or (isinstance(value, numbers.Complex) and not isinstance(value, numbers.Real))
            or not (hasattr(kind, "__float__") or hasattr(kind, "__index__"))):
        raise TypeError("%s must be a real number, not %s" % (name, type_name(value)))
    try:
        return float(value)
    except OverflowError:
        raise OverflowError("%s is too large for a float" % name) from None


def optional_real(name: str, value: Any) -> Optional[float]:
    return None if value is None else real(name, value)


def int64(name: str, value: Any) -> int:
    """value as an int in the signed 64-bit range; never wrapped."""
    try:
        number = operator.index(value)
    except TypeError:
        raise TypeError("%s must be an integer, not %s" % (name, type_name(value))) from None
    if not INT64[0] <= number <= INT64[1]:
        raise OverflowError("%s is outside the signed 64-bit range: %d" % (name, number))
    return number


def code(name: str, value: Any) -> bytes:
    """An airport or country code as the library's UTF-8 text (the extension refuses the bytes
    the library cannot take, in the wording every surface shares)."""
    if not isinstance(value, str):
        raise TypeError("%s must be a str, not %s" % (name, type_name(value)))
    return value.encode("utf-8")


def thread_count(threads: Optional[int]) -> int:
    if threads is None:
        return len(os.sched_getaffinity(0)) if hasattr(os, "sched_getaffinity") else (
            os.cpu_count() or 1)
    count = int64("threads", threads)
    if count < 1:
        raise ValueError("threads must be at least 1, not %d" % count)
    return count


def _missing(value: Any) -> bool:
    """None, pandas.NA, and numpy's masked constant: no coordinate at all."""
    pandas, numpy = sys.modules.get("pandas"), sys.modules.get("numpy")
    return (value is None or (pandas is not None and value is pandas.NA)
            or (numpy is not None and value is numpy.ma.masked))


def _convert(label: str, value: Any) -> Optional[float]:
    """The extension's way out for values other than float, int and None."""
    return None if _missing(value) else real(label, value)


def _numpy_for(value: Any):
    """numpy, when value is an array or array-like (a pandas column included); else None, and
    numpy is not imported for lists."""
    if isinstance(value, (list, tuple, str, bytes)) or not hasattr(value, "__array__"):
        return None
    import numpy
    return numpy


def _array(numpy, name: str, values: Any, ndim: int):
    """values as (numpy array of that ndim, mask of missing entries or None); pandas columns
    with nullable dtypes give their NA as the mask."""
    mask = None
    dtype = getattr(values, "dtype", None)
    if hasattr(values, "isna") and dtype is not None and not isinstance(dtype, numpy.dtype):
        mask = numpy.asarray(values.isna(), dtype=bool)
        values = (values.to_numpy(dtype="float64", na_value=numpy.nan)
                  if getattr(dtype, "kind", "O") in "iuf" else values.to_numpy(dtype=object))
    elif isinstance(values, numpy.ma.MaskedArray):
        mask = numpy.ma.getmaskarray(values)
        values = values.data
    table = numpy.asarray(values)
    if table.ndim != ndim:
        raise ValueError("%s must have %d dimension%s, not %d"
                         % (name, ndim, "s" if ndim > 1 else "", table.ndim))
    if table.dtype.kind in "cb":
        raise TypeError("%s must hold real numbers, not %s" % (name, table.dtype))
    if mask is not None and ndim == 2:
        mask = mask.any(axis=1)
    return table, mask


def _merge(numpy, a, b):
    """One mask of missing points from two, either a bool array, flag bytes or None."""
    if a is None or b is None:
        return a if b is None else b
    flags = [numpy.frombuffer(m, dtype=numpy.uint8) if isinstance(m, bytearray) else m
             for m in (a, b)]
    return numpy.logical_or(*flags)


def _column(name: str, values: Any) -> Tuple[Any, Any]:
    numpy = _numpy_for(values)
    if numpy is None:
        data, mask = _native.values(values, name, _convert)
        return memoryview(data).cast("d"), mask
    table, mask = _array(numpy, name, values, 1)
    if table.dtype.kind in "iuf":
        return table.astype(numpy.float64, copy=False), mask
    data, more = _native.values(table, name, _convert)  # objects, texts: one by one
    return memoryview(data).cast("d"), _merge(numpy, mask, more)


def coordinates(points: Any, lats: Any, lngs: Any) -> Tuple[Any, Any, Any]:
    """(latitudes, longitudes, missing): every value checked before the first lookup."""
    if points is not None:
        if lats is not None or lngs is not None:
            raise TypeError("give points, or lats and lngs, not both")
        numpy = _numpy_for(points)
        if numpy is not None:
            table, mask = _array(numpy, "points", points, 2)
            if table.shape[1] != 2:
                raise ValueError("points must have two columns (lat, lng), not %d"
                                 % table.shape[1])
            if table.dtype.kind in "iuf":
                table = table.astype(numpy.float64, copy=False)
                return table[:, 0], table[:, 1], mask
            la, ln, more = _native.pairs(table.tolist(), _convert)  # objects, texts
            return memoryview(la).cast("d"), memoryview(ln).cast("d"), _merge(numpy, mask, more)
        la, ln, more = _native.pairs(points, _convert)
        return memoryview(la).cast("d"), memoryview(ln).cast("d"), more
    if lats is None or lngs is None:
        raise TypeError("give points, or both lats and lngs")
    (la, mask), (ln, other) = _column("lats", lats), _column("lngs", lngs)
    if len(la) != len(ln):
        raise ValueError("lats and lngs differ in length (%d and %d)" % (len(la), len(ln)))
    if mask is None or other is None:
        return la, ln, mask if other is None else other
    import numpy
    return la, ln, _merge(numpy, mask, other)
