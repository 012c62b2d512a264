"""Country and airport columns for Dask DataFrames, computed where the partitions live.

    import gantrix.dask
    ddf = gantrix.dask.add_country(ddf)                  # + "country": "fr", ..., or None
    ddf = gantrix.dask.add_airport(ddf, column="iata")   # + "iata": "fr.cdg", ..., or None

Each worker process imports gantrix and loads the library once, on its first partition, from
the places gantrix.load() searches on that worker (so every worker needs the package and the
library, or $GANTRIX_LIBRARY). A partition is answered by one batch call over its two columns.
"""

try:
    import dask.dataframe  # noqa: F401 -- checked here so the message below is the one seen
    import pandas
except ImportError as e:
    raise ImportError("gantrix.dask needs Dask and pandas, which are optional: install Debian's "
                      "python3-dask (or pip's dask[dataframe]); " + str(e)) from e

import gantrix

__all__ = ["add_country", "add_airport"]


def _countries(frame, lat, lng):
    return gantrix.country_at_many(lats=frame[lat].to_numpy(), lngs=frame[lng].to_numpy())


def _airports(frame, lat, lng):
    answers = gantrix.find_many(lats=frame[lat].to_numpy(), lngs=frame[lng].to_numpy(),
                                raise_errors=False)
    return [answer.get("code") for answer in answers]  # error documents have no "code"


def _add(frame, values, lat, lng, column):
    out = frame.copy(deep=False)
    out[column] = pandas.Series(values(frame, lat, lng), index=frame.index, dtype=object)
    return out


def _with_column(ddf, values, lat, lng, column):
    for name in (lat, lng):
        if name not in ddf.columns:
            raise KeyError("the DataFrame has no column %r" % (name,))
    meta = ddf._meta.assign(**{column: pandas.Series([], dtype=object)})
    return ddf.map_partitions(_add, values, lat, lng, column, meta=meta)


def add_country(ddf, lat="lat", lng="lng", column="country"):
    """ddf with one more column: the lower-case code of the country containing each row's
    point (as gantrix.country_at gives it), or None."""
    return _with_column(ddf, _countries, lat, lng, column)


def add_airport(ddf, lat="lat", lng="lng", column="airport"):
    """ddf with one more column: the composite code of the airport serving each row's point
    ("fr.cdg", as gantrix.find gives it), or None where the library answers an error."""
    return _with_column(ddf, _airports, lat, lng, column)
