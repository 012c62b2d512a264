/*
 * Gantrix: airport and country lookup with compiled-in datasets.
 *
 * Ownership: every function that returns char * hands the caller a fresh NUL-terminated text
 * (a JSON value; set handles and sizes are plain decimal numbers). Release it with gx_free.
 *
 * Errors: a failed call returns NULL and leaves a message that gx_error() returns (at most
 * 511 bytes; never NULL; owned by the library and overwritten by the calling thread's next
 * failure). gx_find answers its own errors with {"error":"..."} instead. Not finding
 * something is no error: the answer is null, [] or false.
 *
 * Texts: every answer is UTF-8 JSON; text taken from the caller (the missing codes) has each
 * ill-formed UTF-8 sequence replaced by U+FFFD.
 *
 * Threads: every function may be called from any number of threads at once, with the same
 * answers as from one. The datasets are loaded once, by whichever call comes first (others
 * wait for it). Set queries take no lock: they run in parallel with each other and with
 * gx_set_new and gx_set_free, which never wait for a query (only for each other, briefly).
 * A set freed while queries on it are running stays alive until the last of them returns;
 * the handle is invalid from the moment gx_set_free returns, for good. gx_error() is per
 * thread, like errno: it returns the calling thread's last failure.
 *
 * fork(): a process may fork while other threads are inside any function; the child may
 * then call every function (a fork waits for a set being created or freed, or the datasets
 * being loaded, to finish). In the child, the sets of the parent keep their handles.
 *
 * Optional arguments travel with a presence flag (has_country, has_max_km,
 * has_foreign_max_km): the value counts only when its flag is exactly 1.
 *
 * Version: GANTRIX_VERSION (the text "major.minor.patch") and the numbers
 * GANTRIX_VERSION_MAJOR, _MINOR and _PATCH (gantrix_version.h, included below) name the
 * version these declarations describe. The library's SONAME (libgantrix.so.0) carries the
 * major version.
 *
 * C++: gantrix.hpp wraps these functions with owned answers, typed values and exceptions.
 */
#ifndef GANTRIX_H
#define GANTRIX_H

#include <stdint.h>

#include "gantrix_version.h" /* GANTRIX_VERSION "major.minor.patch" and its three numbers */

#if defined(GANTRIX_BUILDING)
#define GANTRIX_EXPORT __attribute__((visibility("default")))
#else
#define GANTRIX_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Coordinates are degrees, latitude first. A point is invalid when a value is NaN or infinite
 * or the latitude lies beyond +-90; any finite longitude is valid and wrapped into -180..180,
 * and 180 and -180 answer alike. Invalid points: gx_find answers
 * {"error":"invalid coordinates"}, gx_country_at answers null (as for a point in no
 * country), gx_set_nearest and gx_set_resolve fail (NULL and a message).
 *
 * The country of a point is the country whose outline contains it. A point in no outline
 * (at sea, in a lake, off a coarse coastline) takes the first country found at up to 96
 * probe points around it, out to 2 degrees, nearest ring first; failing that, the country of
 * the nearest airport up to 1,000 km away; failing that, none. So a point far out at sea can
 * be given a country on purpose: (45, -20), 1,000 km west of Portugal, answers "pt".
 */

/* The airport serving a coordinate: the nearest airport of its country (when its country has
 * none, of the country of the nearest airport within 4,000 km),
 * {"code":"fr.cdg","name":"Paris, France"}, or
 * {"error":...}, for example "no country found for coordinates". */
GANTRIX_EXPORT char* gx_find(double lat, double lng);
/* The lower-case code of the country of a coordinate, as a JSON string, or null (no country,
 * or invalid coordinates). */
GANTRIX_EXPORT char* gx_country_at(double lat, double lng);
/* The airport object for an IATA code (trimmed, any case), or null. */
GANTRIX_EXPORT char* gx_airport(const char* code);

/* A new airport set from codes separated by the byte 0x1F; answers its handle, a decimal
 * number ("0", "1", ...; never reused). codes is read only when count > 0, and then must be a
 * NUL-terminated text (NULL fails); count only says whether there is a list, not how many codes
 * it holds. Each code is trimmed and upper-cased; an empty code (between two separators, before
 * the first or after the last, or white space only) names no airport and is reported once by
 * gx_set_missing as ""; an empty text is an empty list. A code naming no airport of the
 * compiled-in table is no error: it is listed by gx_set_missing. */
GANTRIX_EXPORT char* gx_set_new(const char* codes, int64_t count);
/* Frees a set; answers null (the JSON literal). Freeing twice or an unknown handle is
 * harmless; every other gx_set_ function fails on a freed or unknown handle
 * ("no such AirportSet: <handle>"). */
GANTRIX_EXPORT char* gx_set_free(int64_t handle);
/* The number of distinct airports in the set, as a decimal number ("3"): a code given twice,
 * or in two spellings (" cdg", "CDG"), counts once; codes naming no airport do not count. */
GANTRIX_EXPORT char* gx_set_size(int64_t handle);
/* Whether the code (trimmed, any case) names a member: true or false. NULL is the empty code,
 * never a member. */
GANTRIX_EXPORT char* gx_set_include(int64_t handle, const char* code);
/* The normalised codes that named no airport, each once, in order of first appearance, as
 * a JSON array of strings. Bytes that are not well-formed UTF-8 come back as U+FFFD, one per
 * ill-formed sequence, so the answer is always UTF-8. */
GANTRIX_EXPORT char* gx_set_missing(int64_t handle);
/* At most limit members nearest to the point, nearest first, as a JSON array of airport
 * objects with "distance_km". With has_country 1, only members of that country (any letter
 * case); country must then not be NULL. With has_max_km 1, only members at most max_km away
 * (infinity: no bound).
 *
 * Arguments that are probably mistakes are answered, not refused: a limit below 0, a max_km
 * below 0 or NaN, or a country that is not a two-letter code (a name such as "France")
 * answer [], as does a limit of 0. The C++ header, the command line and the bindings refuse
 * these mistakes, each with one message (gantrix_arguments.hpp). */
GANTRIX_EXPORT char* gx_set_nearest(int64_t handle, double lat, double lng, const char* country,
                                    int64_t has_country, double max_km, int64_t has_max_km,
                                    int64_t limit);
/* The member that should serve the point, with "distance_km", "resolution" and
 * "nearest_code" (the point's own serving airport, as gx_find names it): "nearest" when that
 * airport is a member in the point's country, else "same_country" for the nearest member in the
 * point's country, else "nearby_foreign" for the nearest member anywhere (within foreign_max_km
 * when has_foreign_max_km is 1). null when the point has no serving airport (gx_find answers an
 * error there) or no member qualifies. A foreign_max_km below 0 or NaN, probably a mistake, is
 * answered as a bound no foreign member meets; the C++ header and the other surfaces refuse
 * it. */
GANTRIX_EXPORT char* gx_set_resolve(int64_t handle, double lat, double lng, double foreign_max_km,
                                    int64_t has_foreign_max_km);

/* The message of the calling thread's most recent failure ("" before any). */
GANTRIX_EXPORT const char* gx_error(void);
/* Releases a text returned by any function above; NULL is ignored. */
GANTRIX_EXPORT void gx_free(void* p);

#ifdef __cplusplus
}
#endif

#endif /* GANTRIX_H */
