"""Country and airport columns for pandas DataFrames; gantrix.dask calls these per partition.
pandas is not imported here: a frame is only read through its columns."""

from typing import Any, Iterable, List, Optional

#: What add_airport(details=...) and find_many(columns=True, details=...) can add, each as a
#: column "airport_<detail>": the display label ("Paris, France"), the IATA code, the airport's
#: own name, its city, its country code, and its position.
AIRPORT_DETAILS = ("label", "iata", "name", "city", "country", "lat", "lng")


def details_of(details: Iterable[str]) -> List[str]:
    """The names of details asked for, checked."""
    if isinstance(details, str):
        raise TypeError("details must be a sequence of names, such as ('iata', 'name')")
    details = list(details)
    for name in details:
        if name not in AIRPORT_DETAILS:
            raise ValueError("no airport detail %r; the details are %s"
                             % (name, ", ".join(AIRPORT_DETAILS)))
    return details


def check(frame: Any, lat: str, lng: str, added: Iterable[str]) -> None:
    for name in (lat, lng):
        if name not in frame.columns:
            raise KeyError("the DataFrame has no column %r" % (name,))
    for name in added:
        if name in frame.columns:
            raise ValueError("the DataFrame already has a column %r; name the new one with "
                             "column=" % (name,))


def _with(frame: Any, columns: dict) -> Any:
    out = frame.copy(deep=False)
    for name, values in columns.items():
        out[name] = values
    return out


def add_country(frame: Any, lat: str = "lat", lng: str = "lng", column: str = "country", *,
                threads: Optional[int] = 1) -> Any:
    """A shallow copy of the DataFrame with one more column: the lower-case code of the
    country containing each row's point (as country_at answers it), or None where there is
    none or the coordinates are missing or invalid. Never raises for a row's values.

    >>> frame = pandas.DataFrame({"lat": [48.8566, 30.0], "lng": [2.3522, -40.0]})
    >>> gantrix.add_country(frame)["country"].tolist()
    ['fr', None]
    """
    from . import _columns, _run
    check(frame, lat, lng, [column])
    got = _columns(_run("country", None, frame[lat], frame[lng], threads, False), ["country"])
    return _with(frame, {column: got["country"]})


def add_airport(frame: Any, lat: str = "lat", lng: str = "lng", column: str = "airport", *,
                details: Iterable[str] = (), threads: Optional[int] = 1) -> Any:
    """A shallow copy of the DataFrame with the composite code of the airport serving each
    row's point ("fr.ory", as find answers it; None where find answers an error), and one
    column "<column>_<detail>" for each of details (AIRPORT_DETAILS). Never raises for a
    row's values.

    >>> frame = pandas.DataFrame({"lat": [48.8566], "lng": [2.3522]})
    >>> gantrix.add_airport(frame, details=["name"]).iloc[0].tolist()
    [48.8566, 2.3522, 'fr.ory', 'Paris Orly Airport']
    """
    from . import _columns, _run
    details = details_of(details)
    added = names(column, details)
    check(frame, lat, lng, added)
    batch = _run("find", None, frame[lat], frame[lng], threads, False)
    return _with(frame, dict(zip(added, _columns(batch, names("airport", details)).values())))


def names(column: str, details: Iterable[str]) -> List[str]:
    """The columns added: column, then column_<detail> for each detail."""
    return [column] + ["%s_%s" % (column, name) for name in details]
