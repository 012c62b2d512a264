"""What the tests compare with: the library's own C functions (GANTRIX_LIBRARY names the
build's libgantrix.so), and seeded points on land, at sea, and out of every range."""

import ctypes
import json
import math
import os
import random
import unittest


def c_functions():
    """call(name, *args): the decoded JSON answer of that C function."""
    if not os.environ.get("GANTRIX_LIBRARY"):
        raise unittest.SkipTest("GANTRIX_LIBRARY names no libgantrix.so to compare with")
    lib = ctypes.CDLL(os.environ["GANTRIX_LIBRARY"])
    for name, args in (("gx_find", [ctypes.c_double] * 2), ("gx_country_at", [ctypes.c_double] * 2),
                       ("gx_airport", [ctypes.c_char_p]), ("gx_free", [ctypes.c_void_p])):
        getattr(lib, name).argtypes, getattr(lib, name).restype = args, ctypes.c_void_p

    def call(name, *args):
        text = getattr(lib, name)(*args)
        answer = json.loads(ctypes.string_at(text))
        lib.gx_free(text)
        return answer
    return call


def seeded_points(count, seed):
    """Uniform over the sphere and over the inhabited latitudes; one point in 20 has a
    coordinate out of range or not a number, or a longitude wrapped many times round."""
    rng = random.Random(seed)
    odd = [math.nan, math.inf, -math.inf, 90.0, -90.0, 90.5, -1e300, 180.0, -180.0, 540.0,
           2.0**53, -(2.0**53) - 7, 1e17, 1e300, 0.0, -0.0]
    points = []
    for _ in range(count):
        r = rng.random()
        lat, lng = rng.uniform(-90, 90) if r < 0.5 else rng.uniform(-56, 72), rng.uniform(-180, 180)
        if r < 0.05:
            lat, lng = rng.choice([(rng.choice(odd), lng), (lat, rng.choice(odd)),
                                   (lat, lng + 360 * rng.randint(-10**6, 10**6))])
        points.append((lat, lng))
    return points
