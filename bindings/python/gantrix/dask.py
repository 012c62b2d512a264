"""Country and airport columns for Dask DataFrames, computed where the partitions live: the
same functions, names and arguments as gantrix.add_country and gantrix.add_airport, called
on each partition. Every worker needs the gantrix package installed.

    import gantrix.dask
    ddf = gantrix.dask.add_country(ddf)                          # + "country": "fr", or None
    ddf = gantrix.dask.add_airport(ddf, details=["iata"])       # + "airport", "airport_iata"
"""

from typing import Any, Iterable, Optional

try:
    import dask.dataframe  # noqa: F401 -- checked here so the message below is the one seen
    import pandas
except ImportError as e:
    raise ImportError("gantrix.dask needs Dask and pandas, which are optional: install Debian's "
                      "python3-dask (or pip's dask[dataframe]); " + str(e)) from e

from . import _frames

__all__ = ["add_country", "add_airport"]


def _meta(ddf: Any, lat: str, lng: str, added: dict) -> Any:
    _frames.check(ddf, lat, lng, added)
    return ddf._meta.assign(**{name: pandas.Series([], dtype=dtype)
                               for name, dtype in added.items()})


def add_country(ddf: Any, lat: str = "lat", lng: str = "lng", column: str = "country", *,
                threads: Optional[int] = 1) -> Any:
    """ddf with one more column, as gantrix.add_country adds it to each partition.

    >>> gantrix.dask.add_country(ddf).compute()["country"].tolist()
    ['fr', None]
    """
    meta = _meta(ddf, lat, lng, {column: object})
    return ddf.map_partitions(_frames.add_country, lat, lng, column, threads=threads, meta=meta)


def add_airport(ddf: Any, lat: str = "lat", lng: str = "lng", column: str = "airport", *,
                details: Iterable[str] = (), threads: Optional[int] = 1) -> Any:
    """ddf with the airport column, and one per detail, as gantrix.add_airport adds them to
    each partition.

    >>> gantrix.dask.add_airport(ddf).compute()["airport"].tolist()
    ['fr.ory', None]
    """
    details = _frames.details_of(details)
    added = dict(zip(_frames.names(column, details),
                     [object] + [float if d in ("lat", "lng") else object for d in details]))
    return ddf.map_partitions(_frames.add_airport, lat, lng, column, details=details,
                              threads=threads, meta=_meta(ddf, lat, lng, added))
