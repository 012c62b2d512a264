// The operations behind the twelve exported functions, by the names they answer to. Each
// returns its JSON text or throws Error; the guarded call (api/guarded_call.h) turns a throw
// into a null result and a message for gx_error. find alone answers its own failures, as an
// {"error":...} document.
#pragma once

#include <cstdint>

#include "core/result_text.h"

namespace Gantrix::operations {

// Which airport serves a point (query/find.cpp).
ResultText find(double lat, double lng);

// Which country contains a point, and an airport's record by IATA code (query/lookup.cpp).
ResultText country_at(double lat, double lng);
ResultText airport(const char* code);

// Airport sets: making, freeing and reading them (query/set_operations.cpp).
ResultText set_new(const char* codes, int64_t count);
ResultText set_free(int64_t handle);
ResultText set_size(int64_t handle);
ResultText set_include(int64_t handle, const char* code);
ResultText set_missing(int64_t handle);

// Searches over a set (query/set_queries.cpp).
ResultText set_nearest(int64_t handle, double lat, double lng, const char* country,
                       int64_t has_country, double max_km, int64_t has_max_km, int64_t limit);
ResultText set_resolve(int64_t handle, double lat, double lng, double foreign_max_km,
                       int64_t has_foreign_max_km);

}  // namespace Gantrix::operations
