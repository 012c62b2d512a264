/*
 * Gantrix: airport and country lookup with compiled-in datasets.
 *
 * Ownership: every function that returns char * hands the caller a fresh NUL-terminated text
 * (a JSON value; set handles and sizes are plain decimal numbers). Release it with gx_free.
 *
 * Errors: a failed call returns NULL and leaves a message that gx_error() returns (at most
 * 511 bytes; never NULL; owned by the library and overwritten by the calling thread's next
 * failure). gx_find answers its own errors with {"error":"..."} instead.
 *
 * Invalid coordinates (a NaN or infinite value, or a latitude beyond +-90; longitudes of any
 * finite size wrap) have three answers: gx_find answers {"error":"invalid coordinates"},
 * gx_country_at answers null (the JSON literal), and gx_set_nearest and gx_set_resolve return
 * NULL with gx_error() "invalid coordinates" (after checking the handle).
 *
 * Threads: every function may be called from any number of threads at once, with the same
 * answers as from one. The datasets are loaded once, by whichever call comes first (others
 * wait for it). Set queries run in parallel; gx_set_new and gx_set_free wait for the queries
 * in progress, and a freed handle stays invalid for good. gx_error() is per thread, like
 * errno: it returns the calling thread's last failure.
 *
 * Optional arguments travel with a presence flag (has_country, has_max_km,
 * has_foreign_max_km): the value counts only when its flag is exactly 1.
 */
#ifndef GANTRIX_H
#define GANTRIX_H

#include <stdint.h>

#if defined(GANTRIX_BUILDING)
#define GANTRIX_EXPORT __attribute__((visibility("default")))
#else
#define GANTRIX_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The airport serving a coordinate: {"code":"fr.cdg","name":"Paris, France"} or {"error":...}. */
GANTRIX_EXPORT char* gx_find(double lat, double lng);
/* The lower-case code of the country containing a coordinate, as a JSON string, or null. */
GANTRIX_EXPORT char* gx_country_at(double lat, double lng);
/* The airport object for an IATA code (trimmed, any case), or null. */
GANTRIX_EXPORT char* gx_airport(const char* code);

/* A new airport set from codes separated by the byte 0x1F; returns its handle. codes is read
 * only when count > 0. */
GANTRIX_EXPORT char* gx_set_new(const char* codes, int64_t count);
/* Frees a set; returns null (the JSON literal). Freeing twice or an unknown handle is harmless. */
GANTRIX_EXPORT char* gx_set_free(int64_t handle);
GANTRIX_EXPORT char* gx_set_size(int64_t handle);
/* true or false. */
GANTRIX_EXPORT char* gx_set_include(int64_t handle, const char* code);
/* The normalised codes that named no airport, as a JSON array of strings. */
GANTRIX_EXPORT char* gx_set_missing(int64_t handle);
/* At most limit members nearest to the point, nearest first, as a JSON array of airport
 * objects with "distance_km". */
GANTRIX_EXPORT char* gx_set_nearest(int64_t handle, double lat, double lng, const char* country,
                                    int64_t has_country, double max_km, int64_t has_max_km,
                                    int64_t limit);
/* The member that should serve the point, with "distance_km", "resolution" and
 * "nearest_code", or null. */
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
